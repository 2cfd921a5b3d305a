#!/usr/bin/env python3
"""Serves the built page for use on this computer, with the headers that make
it cross-origin isolated (so that a browser allows the shared memory the
renderer's threads need) and the right type for WebAssembly.

Usage: python3 serve.py [FOLDER] [PORT] [--plain]     (default: this folder, port 8000)
--plain leaves the isolation headers out, as a static host that cannot send them does.
"""
import functools
import http.server
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".mjs": "text/javascript", ".webmanifest": "application/manifest+json"}

    isolate = True

    def end_headers(self):
        if self.isolate:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, format, *args):
        pass


def main() -> int:
    arguments = [a for a in sys.argv[1:] if a != "--plain"]
    Handler.isolate = "--plain" not in sys.argv[1:]
    folder = arguments[0] if arguments else "."
    port = int(arguments[1]) if len(arguments) > 1 else 8000
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port), functools.partial(Handler, directory=folder))
    print(f"Glyra: http://127.0.0.1:{server.server_address[1]}/ (Ctrl+C stops)", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
