#!/usr/bin/python3
"""The account in front of a CalDAV server that has none of its own (xandikos), for the sync
scenarios: a reverse proxy on 127.0.0.1 that asks for Basic credentials as Radicale does and hands
every request it lets through, unchanged, to the server listening on a Unix socket.

  password_proxy.py PORT SOCKET USER PASSWORD

A request without the user and password is answered 401 with a Basic challenge and never reaches
the server. The server's answer goes back whole: its status, its headers (but those of the hop
itself) and its body, with a Content-Length of its own.
"""
import base64
import http.client
import http.server
import socket
import sys

# The headers that belong to one connection, not to the request or the answer.
HOP_HEADERS = {"connection", "keep-alive", "proxy-authenticate", "proxy-authorization", "te",
               "trailers", "transfer-encoding", "upgrade", "content-length"}
METHODS = ("GET", "HEAD", "PUT", "POST", "DELETE", "OPTIONS", "PROPFIND", "PROPPATCH", "REPORT",
           "MKCOL", "MKCALENDAR", "MOVE", "COPY", "LOCK", "UNLOCK", "ACL")


class UnixConnection(http.client.HTTPConnection):
    def __init__(self, path):
        super().__init__("localhost")
        self.path = path

    def connect(self):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(self.path)


def make_handler(server_socket, expected):
    class Handler(http.server.BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def read_body(self):
            if self.headers.get("Transfer-Encoding", "").lower() == "chunked":
                body = b""
                while True:
                    size = int(self.rfile.readline().split(b";")[0].strip(), 16)
                    if size == 0:
                        while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                            pass
                        return body
                    body += self.rfile.read(size)
                    self.rfile.readline()
            length = int(self.headers.get("Content-Length") or 0)
            return self.rfile.read(length) if length else b""

        def answer(self, status, reason, headers, body):
            self.send_response_only(status, reason)
            for name, value in headers:
                if name.lower() not in HOP_HEADERS:
                    self.send_header(name, value)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            if self.command != "HEAD":
                self.wfile.write(body)

        def handle_any(self):
            body = self.read_body()
            if self.headers.get("Authorization", "") != expected:
                self.answer(401, "Unauthorized",
                            [("WWW-Authenticate", 'Basic realm="test account"'),
                             ("Content-Type", "text/plain")], b"Access to the account refused\n")
                return
            connection = UnixConnection(server_socket)
            try:
                connection.putrequest(self.command, self.path, skip_host=True,
                                      skip_accept_encoding=True)
                for name, value in self.headers.items():
                    if name.lower() not in HOP_HEADERS:
                        connection.putheader(name, value)
                if body or self.command in ("PUT", "POST", "PROPFIND", "PROPPATCH", "REPORT",
                                            "MKCALENDAR"):
                    connection.putheader("Content-Length", str(len(body)))
                connection.endheaders(body)
                response = connection.getresponse()
                self.answer(response.status, response.reason, response.getheaders(),
                            response.read())
            except OSError as error:
                self.answer(502, "Bad Gateway", [("Content-Type", "text/plain")],
                            ("the server behind the account did not answer: %s\n" % error)
                            .encode())
            finally:
                connection.close()

    for method in METHODS:
        setattr(Handler, "do_" + method, Handler.handle_any)
    return Handler


def main():
    port, server_socket, user, password = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    expected = "Basic " + base64.b64encode(("%s:%s" % (user, password)).encode()).decode()
    proxy = http.server.ThreadingHTTPServer(("127.0.0.1", port),
                                            make_handler(server_socket, expected))
    proxy.daemon_threads = True
    proxy.serve_forever()


if __name__ == "__main__":
    main()
