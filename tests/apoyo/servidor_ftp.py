#!/usr/bin/python3
"""pyftpdlib serving one folder to one user, read-only.

    servidor_ftp.py DIRECCION PUERTO USUARIO CLAVE CARPETA ESTILO BYTES_POR_SEGUNDO

ESTILO is "unix" (pyftpdlib's own "ls -l" lines) or "dos" (the lines of a Windows
server); both list "." and ".." first, then the names in order, as many recorders
do. BYTES_POR_SEGUNDO slows downloads down; 0 leaves them at full speed.
Prints "listo" once it accepts connections.
"""
import os
import sys
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.filesystems import AbstractedFS
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


class Carpetas(AbstractedFS):
    def listdir(self, path):
        return [".", ".."] + sorted(os.listdir(path))


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
    manejador = FTPHandler
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
