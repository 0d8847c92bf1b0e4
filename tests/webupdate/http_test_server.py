#!/usr/bin/env python3
"""A small HTTP server on 127.0.0.1 for the web update's tests.

Prints "PORT <n>" on its first line once it listens, then serves until it is
terminated. Every request is logged to --log as one line:
    <path>\t<User-Agent>\t<Cache-Control>\t<Pragma>

Modes:
  files   serve the files below --root; special paths:
            /status/<n>          an answer of status n with an HTML body
            /cut/<n>             announces 1000 bytes, sends n, closes
            /stall/<n>           announces 1000 bytes, sends n, then waits
            /big/<n>             a body of n bytes
            http://host/path     (a proxy request) answers "proxied <url>"
  silent  accepts connections and never answers, logging "<silent>" for each
  hangup  accepts connections and closes them at once, logging "<hangup>"

With --tls-cert and --tls-key the files mode speaks HTTPS.

A test that can neither read its output nor signal it (a Windows test under
Wine, whose pipes and signals do not reach a Unix process) passes
--port-file: the port is written there instead, and the server ends once
that file is removed, or after --max-seconds in any case.
"""
import argparse
import http.server
import os
import socket
import ssl
import sys
import threading
import time

NOT_FOUND_PAGE = b"<html><head><title>404 Not Found</title></head><body>No such page</body></html>"


def make_handler(root, log_path, log_lock):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.0"

        def log_message(self, *args):
            pass

        def log_request_line(self):
            line = "\t".join([
                self.path,
                self.headers.get("User-Agent", ""),
                self.headers.get("Cache-Control", ""),
                self.headers.get("Pragma", ""),
            ])
            with log_lock:
                with open(log_path, "a", encoding="utf-8") as log:
                    log.write(line + "\n")

        def answer(self, status, body, length=None, content_type="application/octet-stream"):
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(body) if length is None else length))
            self.end_headers()
            self.wfile.write(body)
            self.wfile.flush()

        def do_GET(self):
            self.log_request_line()
            path = self.path
            if path.startswith("http://"):
                self.answer(200, ("proxied " + path).encode(), content_type="text/plain")
                return
            if path.startswith("/status/") and path[len("/status/"):].isdigit():
                code = int(path[len("/status/"):])
                body = NOT_FOUND_PAGE if code == 404 else b"<html><body>Status %d</body></html>" % code
                self.answer(code, body, content_type="text/html")
                return
            for prefix in ("/cut/", "/stall/"):
                if path.startswith(prefix):
                    sent = int(path[len(prefix):])
                    self.answer(200, b"x" * sent, length=1000)
                    if prefix == "/stall/":
                        time.sleep(3600)
                    self.close_connection = True
                    return
            if path.startswith("/big/"):
                size = int(path[len("/big/"):])
                self.send_response(200)
                self.send_header("Content-Length", str(size))
                self.end_headers()
                chunk = b"b" * 65536
                try:
                    while size > 0:
                        n = min(size, len(chunk))
                        self.wfile.write(chunk[:n])
                        size -= n
                except (BrokenPipeError, ConnectionResetError):
                    pass
                return
            local = os.path.normpath(os.path.join(root, path.lstrip("/").split("?")[0]))
            if not local.startswith(os.path.abspath(root)) or not os.path.isfile(local):
                self.answer(404, NOT_FOUND_PAGE, content_type="text/html")
                return
            with open(local, "rb") as f:
                self.answer(200, f.read())

    return Handler


def serve_raw(hang_up, log_path, report):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    report(listener.getsockname()[1])
    held = []
    while True:
        connection, _ = listener.accept()
        with open(log_path, "a", encoding="utf-8") as log:
            log.write("<hangup>\n" if hang_up else "<silent>\n")
        if hang_up:
            connection.close()
        else:
            held.append(connection)  # kept open, never read, never answered


def report_port(port, port_file, max_seconds):
    if not port_file:
        print("PORT %d" % port, flush=True)
        return
    with open(port_file + ".part", "w", encoding="ascii") as f:
        f.write("PORT %d\n" % port)
    os.replace(port_file + ".part", port_file)
    threading.Thread(target=exit_when_gone, args=(port_file, max_seconds), daemon=True).start()


def exit_when_gone(port_file, max_seconds):
    deadline = time.monotonic() + max_seconds
    while os.path.exists(port_file) and time.monotonic() < deadline:
        time.sleep(0.1)
    os._exit(0)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", choices=["files", "silent", "hangup"], default="files")
    parser.add_argument("--root", default=".")
    parser.add_argument("--log", default=os.devnull)
    parser.add_argument("--tls-cert", help="serve HTTPS with this certificate and --tls-key")
    parser.add_argument("--tls-key")
    parser.add_argument("--port-file")
    parser.add_argument("--max-seconds", type=float, default=900)
    args = parser.parse_args()
    if args.port_file:
        # Under Wine the standard streams are the test runner's own pipes:
        # holding them would make it wait for the server to end.
        # So would any other descriptor of the Wine process that started it.
        null = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(null, fd)
        os.closerange(3, os.sysconf("SC_OPEN_MAX"))
    def report(port):
        report_port(port, args.port_file, args.max_seconds)

    if args.mode != "files":
        serve_raw(args.mode == "hangup", args.log, report)
        return
    root = os.path.abspath(args.root)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), make_handler(root, args.log, threading.Lock()))
    server.daemon_threads = True
    if args.tls_cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.tls_cert, args.tls_key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    report(server.server_address[1])
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
