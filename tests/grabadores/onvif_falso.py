#!/usr/bin/env python3
"""An ONVIF device answering WS-Discovery probes, for use inside a test namespace.

  onvif_falso.py IP FICHERO [IP FICHERO ...]

For every probe received on 239.255.255.250:3702 it sends, in order, the content of each
FICHERO from the matching IP to the prober. It records each probe it received in
"<first FICHERO>.sondas" and prints "listo" once it is listening.
"""
import socket
import struct
import sys


def main():
    pares = list(zip(sys.argv[1::2], sys.argv[2::2]))
    respuestas = [(ip, open(f, "rb").read()) for ip, f in pares]
    registro = sys.argv[2] + ".sondas"
    r = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    r.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    r.bind(("0.0.0.0", 3702))
    grupo = struct.pack("4s4s", socket.inet_aton("239.255.255.250"), socket.inet_aton("0.0.0.0"))
    r.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, grupo)
    envios = {}
    for ip, _ in respuestas:
        if ip not in envios:
            e = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            e.bind((ip, 0))
            envios[ip] = e
    print("listo", flush=True)
    while True:
        sonda, quien = r.recvfrom(65536)
        with open(registro, "ab") as f:
            f.write(sonda + b"\n")
        for ip, texto in respuestas:
            envios[ip].sendto(texto, quien)


if __name__ == "__main__":
    main()
