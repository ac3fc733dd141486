#!/usr/bin/python3
"""pyftpdlib serving one folder to one user, read-only.

    servidor_ftp.py DIRECCION PUERTO USUARIO CLAVE CARPETA ESTILO BYTES_POR_SEGUNDO

ESTILO is "unix" (pyftpdlib's own "ls -l" lines) or "dos" (the lines of a Windows
server); both list "." and ".." first, then the names in order, as many recorders
do. BYTES_POR_SEGUNDO slows downloads down; 0 leaves them at full speed. Names are bytes.
A name can ask for trouble: "corta.*" (SIZE refused, RETR sends half as if whole),
"atasca*" (the server hangs in its RETR or LIST), "listado-N-EXT" (a LIST of N files .EXT).
Prints "listo" once it accepts connections.
"""
import io
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def fallo(ruta):
    return os.path.basename(ruta.rstrip("/")).replace(".", "-").split("-")


class Carpetas(AbstractedFS):
    def listdir(self, path):
        return [".", ".."] + sorted(os.listdir(path))

    def open(self, filename, mode):
        while fallo(filename)[0] == "atasca":  # the whole server hangs, as a device does
            time.sleep(1)
        f = super().open(filename, mode)
        return io.BytesIO(f.read()[:os.path.getsize(filename) // 2]) if fallo(filename)[0] == "corta" else f

    def format_list(self, basedir, listing, ignore_err=True):
        while fallo(basedir)[0] == "atasca":
            time.sleep(1)
        como = fallo(basedir)
        if como[0] != "listado":
            return super().format_list(basedir, listing, ignore_err)
        return (b"-rw-r--r-- 1 o g 1048576 Mar 05 14:07 f%07d.%s\r\n" % (i, como[2].encode()) for i in range(int(como[1])))


class Manejador(FTPHandler):
    unicode_errors = "surrogateescape"

    def ftp_SIZE(self, path):
        return self.respond("502 Command not implemented.") if fallo(path)[0] == "corta" else super().ftp_SIZE(path)


class CarpetasDOS(Carpetas):
    def format_list(self, basedir, listing, ignore_err=True):
        for nombre in listing:
            try:
                st = os.stat(os.path.join(basedir, nombre))
            except OSError:
                continue
            fecha = time.strftime("%m-%d-%y  %I:%M%p", time.localtime(st.st_mtime))
            if os.path.isdir(os.path.join(basedir, nombre)):
                medio = "<DIR>         "
            else:
                medio = "%14d" % st.st_size
            # Names go out as the bytes they are on disk, as an old recorder sends them.
            linea = "%s       %s %s\r\n" % (fecha, medio, nombre)
            yield linea.encode("utf8", "surrogateescape")


def main():
    direccion, puerto, usuario, clave, carpeta, estilo, ritmo = sys.argv[1:8]
    autorizador = DummyAuthorizer()
    autorizador.add_user(usuario, clave, carpeta, perm="elr")
    manejador = Manejador
    manejador.authorizer = autorizador
    manejador.abstracted_fs = CarpetasDOS if estilo == "dos" else Carpetas
    # Quick answers to a wrong password keep the tests short.
    manejador.auth_failed_timeout = 0.1
    if int(ritmo) > 0:
        lento = ThrottledDTPHandler
        lento.write_limit = int(ritmo)
        manejador.dtp_handler = lento
    servidor = FTPServer((direccion, int(puerto)), manejador)
    print("listo", flush=True)
    servidor.serve_forever()


if __name__ == "__main__":
    main()
