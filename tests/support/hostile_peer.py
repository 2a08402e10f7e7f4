"""hostile_peer.py MODE PORT [ADDRESS]: a server on 127.0.0.1 (or ADDRESS) that misbehaves as MODE says, for the tests
that hold Kestrune against peers it cannot trust (the modes are HostilePeer's, tests/support/peers.h).
Prints "ready" once it can be reached (never-accept: once nothing can reach it)."""
import gzip
import socket
import struct
import sys
import threading
import time

# Its links lead to loopback, where nothing listens on port 1: a server test finds it dead.
PAGE = b"".join(b'<a href="ftp://127.0.0.2:1/pub/song%d.mp3">%d</a>\n' % (i, i) for i in range(200))
HEADER = b"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n"


def read_request(conn):
    received = b""
    while b"\r\n\r\n" not in received:
        piece = conn.recv(4096)
        if not piece:
            return False
        received += piece
    return True


def serve(mode, conn):
    if mode == "close":
        return
    if not read_request(conn) or mode == "silent":
        conn.recv(1)  # holds the connection until the client gives up
        return
    if mode == "endless":
        block = PAGE + b" " * 65536
        conn.sendall(HEADER)
        while True:
            conn.sendall(block)
    elif mode == "trickle":
        conn.sendall(HEADER)
        for byte in PAGE:
            conn.sendall(bytes([byte]))
            time.sleep(1)
    elif mode == "reset":
        conn.sendall(HEADER + PAGE[: len(PAGE) // 2])
        time.sleep(0.2)
        conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    elif mode == "single-line":
        conn.sendall(HEADER + b'<a href="ftp://127.0.0.2:1/pub/first.mp3">')
        block = b"x" * (1 << 20)
        for _ in range(100):
            conn.sendall(block)
    elif mode == "gzip":
        body = gzip.compress(PAGE)
        conn.sendall(b"HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: %d\r\n\r\n" % len(body) + body)
    elif mode == "chunked":
        conn.sendall(b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n")
        for at in range(0, len(PAGE), 1000):
            piece = PAGE[at : at + 1000]
            conn.sendall(b"%x\r\n%s\r\n" % (len(piece), piece))
        conn.sendall(b"0\r\n\r\n")


def handle(mode, conn):
    try:
        serve(mode, conn)
    except OSError:
        pass  # the client went away: what a hostile peer is for
    finally:
        conn.close()


def main():
    mode, port = sys.argv[1], int(sys.argv[2])
    address = sys.argv[3] if len(sys.argv) > 3 else "127.0.0.1"
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, port))
    if mode == "never-accept":
        # The kernel queues one connection for a backlog of 0; once full, further SYNs are dropped.
        listener.listen(0)
        fillers = [socket.socket() for _ in range(4)]
        for filler in fillers:
            filler.setblocking(False)
            filler.connect_ex((address, port))
        time.sleep(0.3)
        print("ready", flush=True)
        while True:
            time.sleep(3600)
    listener.listen(64)
    print("ready", flush=True)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(mode, conn), daemon=True).start()


if __name__ == "__main__":
    main()
