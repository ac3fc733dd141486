# A Hikvision recorder's ISAPI search and download. The recordings are the list in
# hikvision.json: {"inicio", "fin", "uri"} as the device writes them into its XML (absent:
# element left out) and "fichero", the recording served for that playback locator, found
# on track "canal"*100+1. hikvision-canales.json: the "proxy" and "entradas" channel lists.
import html
import os
import re

from comun import METODO, URI, anotar, bloqueado, cuerpo, guion, hora_equipo, responder, servir

BUSQUEDA = re.compile(
    r"<\?xml version='1\.0' encoding='utf-8'\?><CMSearchDescription><searchID>([0-9A-F]{8}-[0-9A-F]{4}-"
    r"[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12})</searchID><trackIDList><trackID>([1-9]\d*)01</trackID></trackIDList>"
    r"<timeSpanList><timeSpan><startTime>(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)</startTime><endTime>"
    r"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)</endTime></timeSpan></timeSpanList><maxResults>(\d+)</maxResults>"
    r"<searchResultPostion>(\d+)</searchResultPostion><metadataList><metadataDescriptor>"
    r"//recordType\.meta\.std-cgi\.com</metadataDescriptor></metadataList></CMSearchDescription>")
DESCARGA = re.compile(r"<\?xml version='1\.0'\?><downloadRequest><playbackURI>(.*)</playbackURI>"
                      r"</downloadRequest>", re.S)
XML = 'application/xml; charset="UTF-8"'


def estado_xml(codigo, texto):
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<ResponseStatus version="2.0" '
            'xmlns="http://www.hikvision.com/ver20/XMLSchema">\n<requestURL>%s</requestURL>\n'
            '<statusCode>%d</statusCode>\n<statusString>%s</statusString>\n</ResponseStatus>\n'
            % (URI, codigo, texto))


# A bare "&" makes the body malformed XML, which the device's parser refuses.
AMPERSAND_SUELTO = re.compile(r"&(?!amp;|lt;|gt;|quot;|apos;)")


def sin_entidades(t):
    return t.replace("&amp;", "&").replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"')


def elemento(nombre, valor):
    return "" if valor is None else "<%s>%s</%s>" % (nombre, valor, nombre)


def item(i):
    return ("<searchMatchItem>\n<sourceID>{0000000000-0000-0000-0000-000000000000}</sourceID>\n"
            "<trackID>%d01</trackID>\n<timeSpan>\n%s\n%s\n</timeSpan>\n<mediaSegmentDescriptor>\n"
            "<contentType>video</contentType>\n<codecType>H.264-BP</codecType>\n%s\n"
            "</mediaSegmentDescriptor>\n<metadataMatches>\n<metadataDescriptor>"
            "recordType.meta.hikvision.com/timing</metadataDescriptor>\n</metadataMatches>\n"
            "</searchMatchItem>\n"
            % (i.get("canal", 1), elemento("startTime", i.get("inicio")), elemento("endTime", i.get("fin")),
               elemento("playbackURI", i.get("uri"))))


def buscar(texto):
    m = BUSQUEDA.fullmatch(texto)
    if not m or not os.environ.get("CONTENT_TYPE", "").startswith("application/xml"):
        responder(400, estado_xml(4, "Invalid XML Content"), XML)
        return
    todos = [i for i in guion("hikvision.json", []) if i.get("canal", 1) == int(m.group(2))]
    maximo, posicion = int(m.group(5)), int(m.group(6))
    pagina = todos[posicion:posicion + maximo]
    estado = "NO MATCHES" if not pagina else ("MORE" if posicion + len(pagina) < len(todos) else "OK")
    responder(200, '<?xml version="1.0" encoding="UTF-8"?>\n<CMSearchResult version="2.0" '
                   'xmlns="http://www.hikvision.com/ver20/XMLSchema">\n<searchID>%s</searchID>\n'
                   '<responseStatus>true</responseStatus>\n<responseStatusStrg>%s</responseStatusStrg>\n'
                   '<numOfMatches>%d</numOfMatches>\n<matchList>\n%s</matchList>\n</CMSearchResult>\n'
              % (m.group(1), estado, len(pagina), "".join(item(i) for i in pagina)), XML)


def descargar(texto):
    m = DESCARGA.fullmatch(texto)
    if not m or AMPERSAND_SUELTO.search(texto):
        responder(400, estado_xml(4, "Invalid XML Content"), XML)
        return
    pedida = sin_entidades(m.group(1))
    for i in guion("hikvision.json", []):
        if i.get("uri") is not None and sin_entidades(i["uri"]) == pedida:
            servir(i.get("fichero"))
            return
    responder(400, estado_xml(4, "Invalid Content"), XML)


def canales(clave, lista, elemento):
    todos = guion("hikvision-canales.json", {}).get(clave)
    cuerpos = "".join("<%s version=\"2.0\"><id>%s</id><name>%s</name></%s>\n" % (elemento, i, html.escape(n, False), elemento)
                      for i, n in todos or [])
    responder(403, estado_xml(4, "Invalid Operation"), XML) if todos is None else responder(
        200, '<?xml version="1.0" encoding="UTF-8"?>\n<%s version="2.0" xmlns="http://www.hikvision.com/ver20/XMLSchema">\n'
        '%s</%s>\n' % (lista, cuerpos, lista), XML)


def hora(local, zona):
    desfase = "%s%02d:%02d" % ("+-"[zona < 0], abs(zona) // 60, abs(zona) % 60)
    # The POSIX-style zone counts west of UTC.
    responder(200, '<Time version="2.0"><timeMode>manual</timeMode><localTime>%s%s</localTime><timeZone>CST%s'
              '</timeZone></Time>' % (local.strftime("%Y-%m-%dT%H:%M:%S"), desfase, desfase.translate({43: 45, 45: 43})), XML)


datos = cuerpo()
if bloqueado():
    responder(401, "<userCheck><statusValue>401</statusValue><lockStatus>lock</lockStatus><unlockTime>1800"
              "</unlockTime><retryLoginTime>0</retryLoginTime></userCheck>", XML)
elif URI == "/ISAPI/System/time" and hora_equipo():
    hora(*hora_equipo())
elif URI == "/ISAPI/ContentMgmt/InputProxy/channels":
    canales("proxy", "InputProxyChannelList", "InputProxyChannel")
elif URI == "/ISAPI/System/Video/inputs/channels":
    canales("entradas", "VideoInputChannelList", "VideoInputChannel")
elif METODO == "POST" and URI == "/ISAPI/ContentMgmt/search":
    anotar(datos)
    buscar(datos.decode("utf-8", "replace"))
elif METODO == "POST" and URI == "/ISAPI/ContentMgmt/download":
    anotar(datos)
    descargar(datos.decode("utf-8", "replace"))
else:
    responder(405, estado_xml(4, "Invalid Operation"), XML)
