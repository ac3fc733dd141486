# A Dahua recorder's media file finder (factory.create, findFile, findNextFile, close,
# destroy, one finder object per search) and its file loading. dahua.json holds "items"
# ({"inicio", "fin", "ruta", "largo", "fichero"}; values are written as given) and the
# script's choices: "sinBuscador" (factory.create gives no object), "fallarEnPagina" (the
# n-th findNextFile answers 500), "inverso" (items of a page written last first). Channels:
# each item's "canal"; "maxRemotas", "entradas", "titulos" answer the channel pages.
import json
import os
import random
import re
import urllib.parse

from comun import DATOS, URI, anotar, bloqueado, guion, hora_equipo, responder, servir

# The query as it came: lighttpd hands scripts a normalised QUERY_STRING ("%2D" already "-").
CONSULTA = URI.partition("?")[2]

FECHA = r"\d{4}%2D\d\d%2D\d\d%20\d\d%3A\d\d%3A\d\d"
BUSCADORES = os.path.join(DATOS, "buscadores")


def estado_de(objeto):
    try:
        with open(os.path.join(BUSCADORES, objeto)) as f:
            return json.load(f)
    except (FileNotFoundError, ValueError):
        return None


def guardar(objeto, estado):
    os.makedirs(BUSCADORES, exist_ok=True)
    with open(os.path.join(BUSCADORES, objeto), "w") as f:
        json.dump(estado, f)


def lineas(n, i):
    ruta = i.get("ruta", "")
    largo = i.get("largo")
    if largo is None and i.get("fichero"):
        largo = os.path.getsize(os.path.join(DATOS, "grabaciones", i["fichero"]))
    campos = [("Channel", "0"), ("Cluster", "1234"), ("Disk", "0"), ("EndTime", i.get("fin")),
              ("FilePath", ruta), ("Length", largo), ("StartTime", i.get("inicio")),
              ("Type", "mp4" if ruta.endswith(".mp4") else "dav")]
    return "".join("items[%d].%s=%s\r\n" % (n, k, v) for k, v in campos if v is not None)


def buscador():
    g = guion("dahua.json", {})
    q = dict(urllib.parse.parse_qsl(CONSULTA, keep_blank_values=True))
    accion, objeto = q.get("action"), q.get("object", "")
    if accion == "factory.create":
        if g.get("sinBuscador"):
            responder(200, "Error\r\nNo such object\r\n")
            return
        objeto = str(random.randint(10**8, 10**9))
        guardar(objeto, {"pos": 0, "paginas": 0, "abierto": False})
        responder(200, "result=%s\r\n" % objeto)
        return
    estado = estado_de(objeto) if re.fullmatch(r"\d+", objeto) else None
    if estado is None:
        responder(400, "Error\r\nBad Request!\r\n")
        return
    if accion == "findFile":
        bien = re.fullmatch(r"action=findFile&object=\d+&condition\.Channel=([1-9]\d*)&condition\.StartTime=%s"
                            r"&condition\.EndTime=%s&condition\.Types\[0\]=dav&condition\.Types\[1\]=mp4"
                            % (FECHA, FECHA), CONSULTA)
        canal = int(bien.group(1)) if bien else 0
        if not bien:
            responder(400, "Error\r\nBad Request!\r\n")
        elif not [i for i in g.get("items", []) if i.get("canal", 1) == canal]:
            responder(200, "Error\r\n")
        else:
            estado.update(abierto=True, canal=canal)
            guardar(objeto, estado)
            responder(200, "OK\r\n")
    elif accion == "findNextFile":
        estado["paginas"] += 1
        guardar(objeto, estado)
        if not estado["abierto"] or estado["paginas"] == g.get("fallarEnPagina"):
            responder(500, "Error\r\nInternal Error\r\n")
            return
        todos = [i for i in g.get("items", []) if i.get("canal", 1) == estado.get("canal")]
        pagina = todos[estado["pos"]:estado["pos"] + int(q.get("count", "0"))]
        estado["pos"] += len(pagina)
        guardar(objeto, estado)
        numerados = list(enumerate(pagina))
        if g.get("inverso"):
            numerados.reverse()
        responder(200, "found=%d\r\n" % len(pagina) + "".join(lineas(n, i) for n, i in numerados))
    elif accion in ("close", "destroy"):
        if accion == "destroy":
            os.remove(os.path.join(BUSCADORES, objeto))
        responder(200, "OK\r\n")
    else:
        responder(400, "Error\r\nBad Request!\r\n")


def cargar():
    crudo = URI[len("/cgi-bin/RPC_Loadfile"):]
    # The path's "/" travel as they are; spaces and brackets only percent-encoded.
    if re.search(r"%2[fF]|[ \[\]]", crudo):
        responder(400, "Error\r\nBad Request!\r\n")
        return
    ruta = urllib.parse.unquote(crudo, errors="surrogateescape")
    for i in guion("dahua.json", {}).get("items", []):
        if i.get("ruta") == ruta:
            servir(i.get("fichero"))
            return
    responder(404, "Error\r\nFile Not Found\r\n")


# The device's zone table, by the index its NTP configuration gives: minutes east of UTC.
ZONAS = [0, 60, 120, 180, 210, 240, 270, 300, 330, 345, 360, 390, 420, 480, 540, 570, 600, 660, 720, 780,
         -60, -120, -180, -210, -240, -300, -360, -420, -480, -540, -600, -660, -720]
RELOJ = {"/cgi-bin/global.cgi?action=getCurrentTime": lambda h: "result=%s\r\n" % h[0].strftime("%Y-%m-%d %H:%M:%S"),
         "/cgi-bin/configManager.cgi?action=getConfig&name=NTP":
         lambda h: "table.NTP.Enable=false\r\ntable.NTP.TimeZone=%d\r\n" % ZONAS.index(h[1])}

CANALES = {"/cgi-bin/magicBox.cgi?action=getProductDefinition&name=MaxRemoteInputChannels":
           lambda g: "table.MaxRemoteInputChannels=%d\r\n" % g["maxRemotas"] if g["maxRemotas"] >= 0 else None,
           "/cgi-bin/devVideoInput.cgi?action=getCollect": lambda g: "result=%d\r\n" % g["entradas"] if g["entradas"] >= 0 else None,
           "/cgi-bin/configManager.cgi?action=getConfig&name=ChannelTitle": lambda g: "".join(
               "table.ChannelTitle[%d].Name=%s\r\n" % t for t in enumerate(g["titulos"])) if g["titulos"] else None}

if bloqueado():
    responder(401, "Error\r\nUser is locked, remainLockSecond=1800\r\n")
elif URI in CANALES:
    texto = CANALES[URI](guion("dahua.json", {}))
    responder(200, texto) if texto is not None else responder(400, "Error\r\nBad Request!\r\n")
elif URI in RELOJ:
    responder(200, RELOJ[URI](hora_equipo())) if hora_equipo() else responder(400, "Error\r\nBad Request!\r\n")
elif URI.startswith("/cgi-bin/RPC_Loadfile/"):
    anotar()
    cargar()
else:
    anotar()
    buscador()
