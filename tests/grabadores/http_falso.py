#!/usr/bin/env python3
"""HTTP peers that misbehave on purpose, on 127.0.0.1 only.

  http_falso.py silencio          accepts, reads the request, never answers
  http_falso.py goteo [segundos]  sends the response one byte at a time (15 s apart)
  http_falso.py largo             announces 1000 bytes, sends 10, closes
  http_falso.py infinito          200 without a length and a body that never ends
  http_falso.py pausa             20 bytes of body with a 2.9-second pause after the tenth
  http_falso.py absurdo           a length beyond 64 bits, 10 bytes, closes
  http_falso.py cabecera          a header line that never ends
  http_falso.py nohttp            a reply with no HTTP status line
  http_falso.py estados           100 Continue, then a 404 whose status line has two spaces
  http_falso.py reto              401 digest, stale, with a new nonce every time; prints
                                  "con" or "sin" for each request with or without credentials

Prints the chosen port on the first line once it is listening.
"""
import socket
import sys
import threading
import time
import uuid


def leer_peticion(c):
    datos = b""
    while b"\r\n\r\n" not in datos:
        trozo = c.recv(4096)
        if not trozo:
            break
        datos += trozo
    return datos


def atender(c, modo, intervalo):
    try:
        peticion = leer_peticion(c)
        if modo == "silencio":
            time.sleep(3600)
        elif modo == "goteo":
            respuesta = b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + b"x" * 100
            for i in range(len(respuesta)):
                c.sendall(respuesta[i:i + 1])
                time.sleep(intervalo)
        elif modo == "largo":
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789")
        elif modo == "pausa":
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 20\r\n\r\n0123456789")
            time.sleep(2.9)
            c.sendall(b"0123456789")
        elif modo == "absurdo":
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n"
                      b"0123456789")
        elif modo == "cabecera":
            c.sendall(b"HTTP/1.1 200 OK\r\nX-Sin-Fin: ")
            while True:
                c.sendall(b"a" * 65536)
        elif modo == "estados":
            c.sendall(b"HTTP/1.1 100 Continue\r\nX-Provisional: 1\r\n\r\n"
                      b"HTTP/1.1  404 Not Found\r\nContent-Length: 2\r\n\r\nno")
        elif modo == "nohttp":
            c.sendall(b"SSH-2.0-OpenSSH_9.2\r\nProtocol mismatch.\r\n")
        elif modo == "reto":
            print("con" if b"\r\nauthorization:" in peticion.lower() else "sin", flush=True)
            nonce = uuid.uuid4().hex
            c.sendall(b"HTTP/1.1 401 Unauthorized\r\nContent-Length: 0\r\n"
                      b"WWW-Authenticate: Digest realm=\"zorv\", qop=\"auth\", stale=true, "
                      b"nonce=\"" + nonce.encode() + b"\"\r\n\r\n")
        elif modo == "infinito":
            c.sendall(b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")
            trozo = b"z" * 65536
            while True:
                c.sendall(trozo)
    except OSError:
        pass
    finally:
        c.close()


def main():
    modo = sys.argv[1]
    intervalo = float(sys.argv[2]) if len(sys.argv) > 2 else 15.0
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(8)
    print(s.getsockname()[1], flush=True)
    while True:
        c, _ = s.accept()
        threading.Thread(target=atender, args=(c, modo, intervalo), daemon=True).start()


if __name__ == "__main__":
    main()
