#!/usr/bin/env python3
"""python3's http.server with a speed limit, so that a person (or a
screenshot) can see a download in progress on loopback.

    slow-http-server.py --directory DIR [--bind 127.0.0.1] [--port 80] [--rate BYTES_PER_S]
"""
import argparse
import functools
import http.server
import time


class ThrottledHandler(http.server.SimpleHTTPRequestHandler):
    rate = 0  # bytes per second; 0 for no limit

    def copyfile(self, source, outputfile):
        if not self.rate:
            return super().copyfile(source, outputfile)
        chunk = max(1, self.rate // 20)  # twenty blocks a second
        while True:
            block = source.read(chunk)
            if not block:
                return
            time.sleep(len(block) / self.rate)
            outputfile.write(block)
            outputfile.flush()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--directory", required=True)
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--rate", type=int, default=0)
    options = parser.parse_args()
    ThrottledHandler.rate = options.rate
    handler = functools.partial(ThrottledHandler, directory=options.directory)
    server = http.server.ThreadingHTTPServer((options.bind, options.port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
