# The identification pages a recorder answers; the kind of device comes from ESCENARIO.
ruta="${REQUEST_URI}"
responder() {  # estado, cuerpo
    printf 'Status: %s\r\nContent-Type: text/plain\r\n\r\n%s' "$1" "$2"
}
retar() {  # challenge text
    printf 'Status: 401\r\nWWW-Authenticate: %s\r\nContent-Type: text/plain\r\n\r\nno' "$1"
}
case "$ESCENARIO:$ruta" in
    hikvision:/ISAPI/System/deviceInfo)
        responder 200 '<?xml version="1.0"?><DeviceInfo><deviceType>NVR</deviceType><model>DS-7608NI-K2</model></DeviceInfo>' ;;
    dahua:/cgi-bin/magicBox.cgi\?action=getDeviceType)
        responder 200 "$(printf 'type=DH-XVR5108HS\r\n')" ;;
    vstarcam:/cgi-bin/hi3510/param.cgi\?cmd=getserverinfo)
        responder 200 'var model="C24S";' ;;
    sd:/sd/)
        responder 200 '<html><head><title>Index of /sd</title></head></html>' ;;
    reto-hik:*) retar 'Digest realm="DS-2CD2143G0-I", qop="auth", nonce="abc"' ;;
    reto-dahua:*) retar 'Digest realm="Login to 6H0A2", qop="auth", nonce="abc"' ;;
    reto-otro:*) retar 'Basic realm="router"' ;;
    *:/) responder 200 'inicio' ;;
    *:/credenciales) responder 200 "[$HTTP_AUTHORIZATION]" ;;
    *:/agente) responder 200 "$HTTP_USER_AGENT|$CONTENT_TYPE|$(cat)" ;;
    estado:*) responder "${QUERY_STRING#codigo=}" "pagina de error ${QUERY_STRING}" ;;
    *) responder 404 'no existe' ;;
esac
