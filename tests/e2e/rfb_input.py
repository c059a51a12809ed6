#!/usr/bin/env python3
"""A pointer and a keyboard for a headless Wayland session, through wayvnc's RFB server (the
seat of a headless sway has neither). One action per argument:

    rfb_input.py PORT click:X,Y ... key:KEYSYM ... move:X,Y ... wait:SECONDS

Coordinates are the output's pixels as wayvnc shows it; KEYSYM is an X keysym number or name
(space, Return, a).
"""
import socket
import struct
import sys
import time

KEYSYMS = {"space": 0x20, "Return": 0xFF0D, "Escape": 0xFF1B, "Tab": 0xFF09, "a": 0x61, "x": 0x78}


def read_exactly(sock, count):
    data = b""
    while len(data) < count:
        chunk = sock.recv(count - len(data))
        if not chunk:
            raise ConnectionError("wayvnc closed the connection")
        data += chunk
    return data


def connect(port):
    sock = socket.create_connection(("127.0.0.1", port), timeout=5)
    read_exactly(sock, 12)
    sock.sendall(b"RFB 003.008\n")
    count = read_exactly(sock, 1)[0]
    types = read_exactly(sock, count)
    if 1 not in types:
        raise ConnectionError(f"wayvnc offers no security type None ({list(types)})")
    sock.sendall(b"\x01")
    if struct.unpack(">I", read_exactly(sock, 4))[0] != 0:
        raise ConnectionError("wayvnc refused the connection")
    sock.sendall(b"\x01")  # shared
    header = read_exactly(sock, 24)
    read_exactly(sock, struct.unpack(">I", header[20:24])[0])
    return sock


def pointer(sock, buttons, x, y):
    sock.sendall(struct.pack(">BBHH", 5, buttons, x, y))


def key(sock, down, keysym):
    sock.sendall(struct.pack(">BBxxI", 4, down, keysym))


def main():
    sock = connect(int(sys.argv[1]))
    for action in sys.argv[2:]:
        verb, _, arg = action.partition(":")
        if verb in ("click", "move"):
            x, y = (int(v) for v in arg.split(","))
            pointer(sock, 0, x, y)
            time.sleep(0.05)
            if verb == "click":
                pointer(sock, 1, x, y)
                time.sleep(0.05)
                pointer(sock, 0, x, y)
        elif verb == "key":
            keysym = KEYSYMS.get(arg) or int(arg, 0)
            key(sock, 1, keysym)
            time.sleep(0.05)
            key(sock, 0, keysym)
        elif verb == "wait":
            time.sleep(float(arg))
        else:
            raise SystemExit(f"unknown action {action}")
        time.sleep(0.1)
    sock.close()


if __name__ == "__main__":
    main()
