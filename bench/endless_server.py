#!/usr/bin/python3
"""A CalDAV server that never ends its answers, for bench/bounded_inputs_bench.sh:

  endless_server.py PORT chunked   answers every REPORT with a chunked body that never ends
  endless_server.py PORT length    announces a Content-Length of 2 GiB and sends without end

A PROPFIND of the collection itself is answered as a real server would, so that a sync gets as
far as its report. It stops when it is killed.
"""
import socket
import sys
import threading

COLLECTION = (b'<?xml version="1.0"?><d:multistatus xmlns:d="DAV:"><d:response>'
              b'<d:href>/cal/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/>'
              b'</d:resourcetype></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>'
              b'</d:response></d:multistatus>')
CHUNK = b"x" * (1 << 20)


def read_request(connection):
    data = b""
    while b"\r\n\r\n" not in data:
        more = connection.recv(65536)
        if not more:
            return None
        data += more
    head, body = data.split(b"\r\n\r\n", 1)
    length = 0
    for line in head.split(b"\r\n"):
        if line.lower().startswith(b"content-length:"):
            length = int(line.split(b":")[1])
    while len(body) < length:
        more = connection.recv(65536)
        if not more:
            return None
        body += more
    return head


def serve(connection, mode):
    try:
        while True:
            head = read_request(connection)
            if head is None:
                return
            if head.startswith(b"PROPFIND"):
                connection.sendall(b"HTTP/1.1 207 Multi-Status\r\nContent-Length: %d\r\n\r\n"
                                   % len(COLLECTION) + COLLECTION)
                continue
            if mode == "chunked":
                connection.sendall(b"HTTP/1.1 207 Multi-Status\r\n"
                                   b"Transfer-Encoding: chunked\r\n\r\n")
                while True:
                    connection.sendall(b"100000\r\n" + CHUNK + b"\r\n")
            connection.sendall(b"HTTP/1.1 207 Multi-Status\r\nContent-Length: 2147483648\r\n\r\n")
            while True:
                connection.sendall(CHUNK)
    except OSError:
        pass
    finally:
        connection.close()


def main():
    port, mode = int(sys.argv[1]), sys.argv[2]
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", port))
    listener.listen(5)
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, mode), daemon=True).start()


if __name__ == "__main__":
    main()
