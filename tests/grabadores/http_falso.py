#!/usr/bin/env python3
"""HTTP peers that misbehave on purpose, on 127.0.0.1 only.

  http_falso.py silencio          accepts, reads the request, never answers
  http_falso.py goteo [segundos]  sends the response one byte at a time (15 s apart)
  http_falso.py largo             announces 1000 bytes, sends 10, closes
  http_falso.py infinito          200 without a length and a body that never ends

Prints the chosen port on the first line once it is listening.
"""
import socket
import sys
import threading
import time


def leer_peticion(c):
    datos = b""
    while b"\r\n\r\n" not in datos:
        trozo = c.recv(4096)
        if not trozo:
            break
        datos += trozo


def atender(c, modo, intervalo):
    try:
        leer_peticion(c)
        if modo == "silencio":
            time.sleep(3600)
        elif modo == "goteo":
            respuesta = b"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n" + b"x" * 100
            for i in range(len(respuesta)):
                c.sendall(respuesta[i:i + 1])
                time.sleep(intervalo)
        elif modo == "largo":
            c.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789")
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
