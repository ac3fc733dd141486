# What the recorder fakes share: the request as it arrived, the script the test wrote into
# the data folder (GRABADOR_DATOS), a log of every request for the test to read, answers.
import contextlib
import datetime
import fcntl
import json
import os
import sys
import time

DATOS = os.environ["GRABADOR_DATOS"]
METODO = os.environ.get("REQUEST_METHOD", "")
URI = os.environ.get("REQUEST_URI", "")


def cuerpo():
    n = int(os.environ.get("CONTENT_LENGTH") or 0)
    return sys.stdin.buffer.read(n) if n > 0 else b""


def anotar(datos=b""):
    linea = json.dumps({"metodo": METODO, "uri": URI, "cuerpo": datos.decode("utf-8", "replace")})
    with open(os.path.join(DATOS, "peticiones.jsonl"), "a", encoding="utf-8") as f:
        f.write(linea + "\n")


def guion(nombre, defecto):
    try:
        with open(os.path.join(DATOS, nombre), encoding="utf-8") as f:
            return json.load(f)
    except FileNotFoundError:
        return defecto


def responder(estado, texto, tipo="text/plain"):
    datos = texto.encode("utf-8")
    sys.stdout.buffer.write(
        b"Status: %d\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n" % (estado, tipo.encode(), len(datos)) + datos)


def servir(nombre):
    """A recording of the data folder, with its length, in pieces."""
    ruta = os.path.join(DATOS, "grabaciones", os.path.basename(nombre or ""))
    if not nombre or not os.path.isfile(ruta):
        responder(404, "no existe")
        return
    salida = sys.stdout.buffer
    largo = os.path.getsize(ruta)
    salida.write(b"Status: 200\r\nContent-Type: application/octet-stream\r\nContent-Length: %d\r\n\r\n"
                 % largo)
    # A recording marked to be cut goes out half sent, as when a device drops the link.
    resto = largo // 2 if os.path.exists(ruta + ".cortar") else largo
    with open(ruta, "rb") as f:
        while resto > 0:
            trozo = f.read(min(resto, 1 << 20))
            if not trozo:
                break
            salida.write(trozo)
            resto -= len(trozo)


def bloqueado():
    """Locked from the third wrong password on (lighttpd checks the digest, logs each)."""
    with open(os.path.join(os.path.dirname(DATOS), "error.log"), errors="replace") as f:
        return sum("wrong password" in l for l in f) >= 3


def hora_equipo():
    """The wall clock and zone reloj.json gives ({"adelanto": s, "zona": min east}), or None."""
    r = guion("reloj.json", None)
    return r and (datetime.datetime.utcnow() + datetime.timedelta(seconds=r["adelanto"] + 60 * r["zona"]), r["zona"])


def _contar(cambio):
    with open(os.path.join(DATOS, "en-curso"), "a+") as f:
        fcntl.flock(f, fcntl.LOCK_EX)
        f.seek(0)
        ahora, maximo = (list(map(int, f.read().split())) + [0, 0])[:2]
        f.seek(0)
        f.truncate()
        f.write("%d %d" % (ahora + cambio, max(maximo, ahora + cambio)))


@contextlib.contextmanager
def en_curso():
    """A search being answered: counts how many run at once (the most goes to en-curso),
    each after the pause of pausa.json, as a busy recorder takes."""
    _contar(1)
    try:
        time.sleep(guion("pausa.json", 0))
        yield
    finally:
        _contar(-1)
