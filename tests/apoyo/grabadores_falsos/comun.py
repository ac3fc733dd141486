# What the recorder fakes share: the request as it arrived, the script the test wrote into
# the data folder (GRABADOR_DATOS), a log of every request for the test to read, answers.
import datetime
import json
import os
import sys

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
    datos = texto.encode("utf-8", "surrogateescape")
    sys.stdout.buffer.write(
        b"Status: %d\r\nContent-Type: %s\r\nContent-Length: %d\r\n\r\n" % (estado, tipo.encode(), len(datos)) + datos)


# Recordings named "*.aviso" and "*.pagina" come as a 200 with the device's status document
# or an HTML page; "*.sinLargo" half sent, with no length and a clean end.
AVISOS = {
    "aviso": ("application/xml", '<?xml version="1.0"?>\n<ResponseStatus><requestURL>%s</requestURL><statusString>Invalid '
              'Content</statusString><subStatusCode>badParameters</subStatusCode></ResponseStatus>' % URI),
    "pagina": ("text/html", "<!DOCTYPE html>\n<html><head><title>Error 500: disco lleno</title></head></html>"),
}


def servir(nombre):
    """A recording of the data folder, with its length, in pieces."""
    ruta = os.path.join(DATOS, "grabaciones", os.path.basename(nombre or ""))
    if not nombre or not os.path.isfile(ruta):
        responder(404, "no existe")
        return
    fallo = os.path.splitext(ruta)[1][1:]
    if fallo in AVISOS:
        return responder(200, AVISOS[fallo][1], AVISOS[fallo][0])
    salida = sys.stdout.buffer
    largo = os.path.getsize(ruta)
    salida.write(b"Status: 200\r\nContent-Type: application/octet-stream\r\n" +
                 (b"\r\n" if fallo == "sinLargo" else b"Content-Length: %d\r\n\r\n" % largo))
    # A recording marked to be cut goes out half sent, as when a device drops the link.
    resto = largo // 2 if os.path.exists(ruta + ".cortar") or fallo == "sinLargo" else largo
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
