#!/usr/bin/env python3
"""A TCP proxy that breaks connections: it passes everything between its
clients and one upstream server, and the first N connections whose answers
reach a given number of bytes are reset right after that byte, as a network
that fails mid-download would.

    cutting-proxy.py --listen PORT --upstream PORT [--bind 127.0.0.1]
                     [--upstream-host 127.0.0.1] --cut-after BYTES [--cuts N]

--bind is the address it listens on; another loopback address (127.0.0.2)
lets it take port 80 beside the server's own.

Each cut is told on stdout ("cut connection 3 after 1048576 bytes"). The
count covers every byte the upstream sent on the connection, headers included.
"""
import argparse
import selectors
import socket
import struct
import sys
import threading

BLOCK = 1 << 20


class Cuts:
    """How many connections are still to be cut; shared by all connections."""

    def __init__(self, count):
        self._left = count
        self._lock = threading.Lock()

    def take(self):
        with self._lock:
            if self._left <= 0:
                return False
            self._left -= 1
            return True

    def left(self):
        with self._lock:
            return self._left > 0


def reset(sock):
    # A zero linger time makes close() send RST instead of FIN.
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    except OSError:
        pass
    sock.close()


def serve(number, client, upstream_address, cut_after, cuts):
    """Passes both ways in one thread, so that the sockets are closed by
    their only user (a close beside another thread's recv() would wait)."""
    try:
        upstream = socket.create_connection(upstream_address)
    except OSError as error:
        print(f"connection {number}: upstream refused: {error}", flush=True)
        reset(client)
        return
    sent = 0
    buffer = bytearray(BLOCK)
    view = memoryview(buffer)
    requests_open = True
    with selectors.DefaultSelector() as selector:
        selector.register(client, selectors.EVENT_READ)
        selector.register(upstream, selectors.EVENT_READ)
        try:
            while True:
                for key, _ in selector.select():
                    if key.fileobj is client:
                        size = client.recv_into(buffer)
                        if size:
                            upstream.sendall(view[:size])
                        elif requests_open:
                            requests_open = False
                            selector.unregister(client)
                            upstream.shutdown(socket.SHUT_WR)
                        continue
                    size = upstream.recv_into(buffer)
                    if not size:
                        client.shutdown(socket.SHUT_WR)
                        return
                    if sent + size >= cut_after and cuts.left() and cuts.take():
                        client.sendall(view[: cut_after - sent])
                        print(f"cut connection {number} after {cut_after} bytes", flush=True)
                        reset(client)
                        return
                    client.sendall(view[:size])
                    sent += size
        except OSError:
            pass
        finally:
            if client.fileno() >= 0:
                client.close()
            upstream.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--listen", type=int, required=True)
    parser.add_argument("--upstream", type=int, required=True)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--upstream-host", default="127.0.0.1")
    parser.add_argument("--cut-after", type=int, required=True)
    parser.add_argument("--cuts", type=int, default=1)
    options = parser.parse_args()
    if options.cut_after <= 0 or options.cuts < 0:
        parser.error("--cut-after must be positive and --cuts not negative")
    cuts = Cuts(options.cuts)
    listener = socket.create_server((options.bind, options.listen), reuse_port=False)
    number = 0
    while True:
        client, _ = listener.accept()
        client.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        number += 1
        threading.Thread(
            target=serve,
            args=(number, client, (options.upstream_host, options.upstream), options.cut_after, cuts),
            daemon=True,
        ).start()


if __name__ == "__main__":
    sys.exit(main())
