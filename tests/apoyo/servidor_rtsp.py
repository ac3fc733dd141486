#!/usr/bin/python3
"""GStreamer's RTSP server with a test picture on the paths given.

    servidor_rtsp.py DIRECCION PUERTO AUTH USUARIO CLAVE RUTA=CLASE...

AUTH is "ninguna", "basica" or "digest". CLASE is "video" (H.264), "sonido" (H.264
with G.711 audio, as many cameras send), "audio" (G.711 only) or "atasca" (video that
stops after five seconds without ending, as a camera whose stream freezes). A query
in RUTA is ignored: the server matches paths only.
Prints "listo" once it accepts connections.
"""
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtsp", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtsp, GstRtspServer  # noqa: E402

VIDEO = ("videotestsrc is-live=true pattern=ball ! "
         "video/x-raw,width=320,height=240,framerate=10/1 ! {valvula}"
         "x264enc tune=zerolatency speed-preset=ultrafast key-int-max=10 bitrate=300 ! "
         "rtph264pay name=pay0 pt=96 config-interval=1")
AUDIO = ("audiotestsrc is-live=true ! audio/x-raw,rate=8000,channels=1 ! "
         "mulawenc ! rtppcmupay name={pago} pt=0")


def fabrica(clase, con_clave):
    f = GstRtspServer.RTSPMediaFactory()
    if clase == "audio":
        texto = AUDIO.format(pago="pay0")
    elif clase == "sonido":
        texto = VIDEO.format(valvula="") + " " + AUDIO.format(pago="pay1")
    elif clase == "atasca":
        texto = VIDEO.format(valvula="valve name=valvula ! ")
    else:
        texto = VIDEO.format(valvula="")
    f.set_launch("( " + texto + " )")
    # A frozen stream is per client; the others are shared so probes stay cheap.
    f.set_shared(clase != "atasca")
    if clase == "atasca":
        f.connect("media-configure", atascar)
    if con_clave:
        rol, _ = Gst.Structure.from_string(
            "usuario, media.factory.access=(boolean)true, "
            "media.factory.construct=(boolean)true")
        f.add_role_from_structure(rol)
    return f


def atascar(_fabrica, media):
    valvula = media.get_element().get_by_name("valvula")

    def cerrar():
        valvula.set_property("drop", True)
        return False

    GLib.timeout_add_seconds(5, cerrar)


def main():
    direccion, puerto, auth, usuario, clave = sys.argv[1:6]
    servidor = GstRtspServer.RTSPServer()
    servidor.set_address(direccion)
    servidor.set_service(puerto)
    con_clave = auth != "ninguna"
    if con_clave:
        a = GstRtspServer.RTSPAuth()
        ficha = GstRtspServer.RTSPToken()
        ficha.set_string("media.factory.role", "usuario")
        if auth == "digest":
            a.add_digest(usuario, clave, ficha)
            a.set_supported_methods(GstRtsp.RTSPAuthMethod.DIGEST)
        else:
            a.add_basic(GstRtspServer.RTSPAuth.make_basic(usuario, clave), ficha)
            a.set_supported_methods(GstRtsp.RTSPAuthMethod.BASIC)
        servidor.set_auth(a)
    montajes = servidor.get_mount_points()
    for par in sys.argv[6:]:
        ruta, clase = par.rsplit("=", 1)
        montajes.add_factory(ruta.split("?", 1)[0], fabrica(clase, con_clave))
    if servidor.attach(None) == 0:
        print("no se pudo escuchar", flush=True)
        return 1
    print("listo", flush=True)
    GLib.MainLoop().run()
    return 0


if __name__ == "__main__":
    Gst.init(None)
    sys.exit(main())
