#!/usr/bin/env python3
"""A loopback collector for install reports: accepts HTTP requests, records the
method, path, headers and raw body of each, and answers 200 with no body.

As a module: Collector(port=0) starts listening on 127.0.0.1 in a thread;
.requests holds what came in, .wait(count, seconds) waits for it.
As a program: report_collector.py [--host 127.0.0.1] [--port 8080] prints one
JSON line per request (body as latin-1 text) until stopped.
"""
import argparse
import json
import socket
import sys
import threading
import time


class Collector:
    def __init__(self, host="127.0.0.1", port=0):
        self.requests = []
        self._lock = threading.Lock()
        self._stop = False
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self._listener.bind((host, port))
        self._listener.listen(8)
        self._listener.settimeout(0.1)
        self.port = self._listener.getsockname()[1]
        self._thread = threading.Thread(target=self._serve, daemon=True)
        self._thread.start()

    def _serve(self):
        while not self._stop:
            try:
                conn, _ = self._listener.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            with conn:
                conn.settimeout(10)
                request = self._read(conn)
                if request is not None:
                    with self._lock:
                        self.requests.append(request)
                try:
                    conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
                except OSError:
                    pass

    @staticmethod
    def _read(conn):
        data = b""
        try:
            while b"\r\n\r\n" not in data:
                chunk = conn.recv(4096)
                if not chunk:
                    return None
                data += chunk
            head, _, body = data.partition(b"\r\n\r\n")
            lines = head.decode("latin-1").split("\r\n")
            method, path, version = lines[0].split(" ", 2)
            headers = []
            for line in lines[1:]:
                name, _, value = line.partition(":")
                headers.append((name.strip(), value.strip()))
            length = int(next((v for n, v in headers if n.lower() == "content-length"), "0"))
            while len(body) < length:
                chunk = conn.recv(4096)
                if not chunk:
                    break
                body += chunk
        except (OSError, ValueError):
            return None
        return {"method": method, "path": path, "version": version, "headers": headers, "body": body}

    @staticmethod
    def header(request, name):
        """The value of a header (names compared without case), or None."""
        return next((v for n, v in request["headers"] if n.lower() == name.lower()), None)

    def wait(self, count, seconds=10.0):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            with self._lock:
                if len(self.requests) >= count:
                    return True
            time.sleep(0.02)
        return False

    def close(self):
        self._stop = True
        self._thread.join(5)
        self._listener.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=8080)
    args = parser.parse_args()
    collector = Collector(args.host, args.port)
    print(f"listening {args.host}:{collector.port}", flush=True)
    seen = 0
    try:
        while True:
            collector.wait(seen + 1, 3600)
            for request in collector.requests[seen:]:
                shown = dict(request, body=request["body"].decode("latin-1"))
                print(json.dumps(shown, ensure_ascii=False), flush=True)
            seen = len(collector.requests)
    except KeyboardInterrupt:
        pass
    finally:
        collector.close()


if __name__ == "__main__":
    sys.exit(main())
