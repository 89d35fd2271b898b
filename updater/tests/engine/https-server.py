#!/usr/bin/env python3
"""Serves a folder over HTTPS for the download tests.

usage: https-server.py CERTIFICATE KEY PORT FOLDER

The certificate file may hold the chain after the server's own certificate.
Prints "ready" once it listens. A client that refuses the certificate only
ends its own connection; the server goes on.
"""
import functools
import http.server
import ssl
import sys


def main():
    certificate, key, port, folder = sys.argv[1:5]
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(certificate, key)
    handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", int(port)), handler)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    print("ready", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
