#!/usr/bin/env python3
"""Local update server for development, tests and the demo.

Answers the updater's query protocol on one TCP port: it reads a query document
("<s><update><component project='..' name='..' type='..' version='..' />...
</update></s>"), compares every component with a catalogue folder and writes
one response document back, with for each queried component either the newest
update or a "latest" or "noSuchComponent" mark.

The catalogue folder holds one JSON file per component (any name ending in
".json"):

    {
      "project": "vell", "name": "core", "type": "app",
      "copyrights": "...", "author": "...", "webpage": "...", "email": "...",
      "versions": [
        {"version": "1.1", "description": "...", "changelog": "...",
         "link": "http://packages.vell.example/core-1.1.zip",
         "critical": false, "timestamp": 1767225600}
      ]
    }

The newest version (compared number by number, "1.10" after "1.9") is offered
when it is newer than the queried one; otherwise the answer is "latest".

Misbehaviour for tests: --segments splits each answer into several TCP
segments, --stall never answers, --trailing appends bytes after the document,
--flood sends an answer that never ends, --early answers as soon as the
connection opens (offering every catalogue component), before the query,
--answer-file sends a file's bytes instead of the catalogue's answer, and
--chunk-size sends the answer in pieces of that many bytes.
The catalogue is read again for every query, so tests may change it between
runs. The server prints "listening on HOST:PORT" once it accepts connections
(useful with --port 0) and serves until it is killed.
"""

import argparse
import json
import os
import re
import socket
import sys
import threading
import time
import xml.etree.ElementTree as ElementTree
from xml.sax.saxutils import escape, quoteattr

DEFAULT_PORT = 34221
MAX_QUERY_BYTES = 4 * 1024 * 1024


def version_key(version):
    """Orders "1.9" before "1.10"; non-numeric parts compare as text."""
    key = []
    for part in re.split(r"[.\-_]", version):
        key.append((0, int(part), "") if part.isdigit() else (1, 0, part))
    return key


class CatalogueError(Exception):
    """A catalogue folder or file that cannot be used; the text names it."""


def load_catalogue(folder):
    catalogue = {}
    try:
        entries = sorted(os.listdir(folder))
    except OSError as error:
        raise CatalogueError("%s: %s" % (folder, error.strerror)) from None
    for entry in entries:
        if not entry.endswith(".json"):
            continue
        path = os.path.join(folder, entry)
        try:
            with open(path, encoding="utf-8") as handle:
                component = json.load(handle)
        except OSError as error:
            raise CatalogueError("%s: %s" % (path, error.strerror)) from None
        except json.JSONDecodeError as error:
            raise CatalogueError("%s:%d: %s" % (path, error.lineno, error.msg)) from None
        except UnicodeDecodeError as error:
            raise CatalogueError("%s: not UTF-8 (%s)" % (path, error.reason)) from None
        if not isinstance(component, dict):
            raise CatalogueError("%s:1: a component must be a JSON object" % path)
        key = (component.get("project", ""), component.get("name", ""),
               component.get("type", ""))
        catalogue[key] = component
    return catalogue


def report(message):
    """One line on stderr, the way every failure of the server is told."""
    print("vell-update-server: %s" % message, file=sys.stderr, flush=True)


def update_element(component, newest):
    attributes = "".join(
        " %s=%s" % (name, quoteattr(component.get(name, "")))
        for name in ("project", "name", "type"))
    children = [("version", newest.get("version", ""))]
    for name in ("description", "copyrights", "author", "webpage", "email"):
        children.append((name, newest.get(name, component.get(name, ""))))
    children.append(("changelog", newest.get("changelog", "")))
    children.append(("link", newest.get("link", "")))
    children.append(("critical", "true" if newest.get("critical") else "false"))
    children.append(("timestamp", str(newest.get("timestamp", 0))))
    body = "".join("<%s>%s</%s>" % (name, escape(str(value)), name)
                   for name, value in children)
    return "<request%s>%s</request>" % (attributes, body)


def mark_element(query_component, mark):
    attributes = "".join(
        " %s=%s" % (name, quoteattr(query_component.get(name, "")))
        for name in ("project", "name", "type"))
    return "<request%s><%s/></request>" % (attributes, mark)


def answer(query_root, catalogue):
    parts = []
    for queried in query_root.iter("component"):
        key = (queried.get("project", ""), queried.get("name", ""),
               queried.get("type", ""))
        component = catalogue.get(key)
        if component is None:
            parts.append(mark_element(queried.attrib, "noSuchComponent"))
            continue
        versions = component.get("versions", [])
        newest = max(versions, key=lambda v: version_key(v.get("version", "")),
                     default=None)
        installed = queried.get("version", "")
        if newest is None or version_key(newest.get("version", "")) <= version_key(installed):
            parts.append(mark_element(queried.attrib, "latest"))
        else:
            parts.append(update_element(component, newest))
    document = '<?xml version="1.0" encoding="UTF-8"?>\n<response>%s</response>\n' % "".join(parts)
    return document.encode("utf-8")


def read_query(connection):
    """Reads until the bytes form one XML document; None when the peer gives up."""
    received = b""
    while True:
        try:
            return received, ElementTree.fromstring(received)
        except ElementTree.ParseError:
            pass
        if len(received) > MAX_QUERY_BYTES:
            return received, None
        chunk = connection.recv(65536)
        if not chunk:
            return received, None
        received += chunk


def early_query(catalogue):
    """A query naming every catalogue component at version 0, for --early."""
    root = ElementTree.Element("query")
    for project, name, kind in catalogue:
        ElementTree.SubElement(root, "component", project=project, name=name, type=kind,
                               version="0")
    return root


def serve(connection, options):
    try:
        serve_one(connection, options)
    except CatalogueError as error:
        # The catalogue changed under a running server: tell it and drop this query.
        report(error)


def serve_one(connection, options):
    with connection:
        if options.early:
            connection.sendall(answer(early_query(load_catalogue(options.catalogue)),
                                      load_catalogue(options.catalogue)))
        raw, root = read_query(connection)
        if options.record:
            with open(options.record, "ab") as record:
                record.write(raw + b"\n")
        if root is None or options.early:
            return
        if options.flood:
            # An answer that never completes: the root element is never closed.
            try:
                connection.sendall(b"<response>")
                while True:
                    connection.sendall(b"<filler/>" * 4096)
            except OSError:
                return
        if options.stall:
            # Keep the connection open and silent until the client gives up.
            while connection.recv(65536):
                pass
            return
        if options.answer_file:
            with open(options.answer_file, "rb") as handle:
                reply = handle.read()
        else:
            reply = answer(root, load_catalogue(options.catalogue))
        reply += options.trailing.encode("utf-8")
        segments = max(1, options.segments)
        size = max(1, options.chunk_size or -(-len(reply) // segments))
        connection.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        try:
            for start in range(0, len(reply), size):
                connection.sendall(reply[start:start + size])
                if size < len(reply):
                    time.sleep(options.segment_delay)
        except OSError:
            return  # the updater gave up on the answer
        # Like a real server, leave the connection open: the updater ends the
        # exchange once the answer parses.
        try:
            while connection.recv(65536):
                pass
        except OSError:
            pass


class ArgumentParser(argparse.ArgumentParser):
    """Usage errors in one line on stderr with status 2; --help shows the rest."""

    def error(self, message):
        report("%s (see --help)" % message)
        sys.exit(2)


def port_number(text):
    try:
        port = int(text)
    except ValueError:
        port = -1
    if not 0 <= port <= 65535:
        raise argparse.ArgumentTypeError("not a port number (0 to 65535): %r" % text)
    return port


def main():
    parser = ArgumentParser(prog="vell-update-server.py", description=__doc__.splitlines()[0])
    parser.add_argument("--catalogue", required=True, help="folder of component JSON files")
    parser.add_argument("--bind", default="127.0.0.1", help="address to listen on")
    parser.add_argument("--port", type=port_number, default=DEFAULT_PORT,
                        help="TCP port (0 picks a free one); default %d" % DEFAULT_PORT)
    parser.add_argument("--segments", type=int, default=1,
                        help="split each answer into this many TCP segments")
    parser.add_argument("--segment-delay", type=float, default=0.05,
                        help="seconds between two segments")
    parser.add_argument("--chunk-size", type=int, default=0,
                        help="split each answer into pieces of this many bytes")
    parser.add_argument("--answer-file",
                        help="answer every query with this file's bytes")
    parser.add_argument("--stall", action="store_true", help="read queries but never answer")
    parser.add_argument("--flood", action="store_true",
                        help="answer with an endless, never completed document")
    parser.add_argument("--trailing", default="", help="text sent after the answer document")
    parser.add_argument("--early", action="store_true",
                        help="answer on connection, before the query arrives")
    parser.add_argument("--record", help="append every query received to this file")
    options = parser.parse_args()

    # Read once before listening, so that a bad catalogue is told at start.
    try:
        load_catalogue(options.catalogue)
    except CatalogueError as error:
        report(error)
        return 1

    family = socket.AF_INET6 if ":" in options.bind else socket.AF_INET
    listener = socket.socket(family, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    try:
        listener.bind((options.bind, options.port))
        listener.listen(16)
    except (OSError, OverflowError) as error:
        reason = error.strerror if isinstance(error, OSError) and error.strerror else str(error)
        report("cannot listen on %s port %d: %s" % (options.bind, options.port, reason))
        return 1
    host, port = listener.getsockname()[:2]
    print("listening on %s:%d" % (host, port), flush=True)

    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, options), daemon=True).start()


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(0)
