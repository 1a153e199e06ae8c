#!/usr/bin/python3
"""A CalDAV collection of the test's own on loopback, scripted to answer as an odd or hostile
server would, for the sync scenarios that a real Radicale cannot play:

  scripted_server.py PORT LOG encoded-slash
      one calendar collection /alice/calendar/ (no sync tokens: listed with PROPFIND) holding one
      event whose href spells encoded slashes and dot segments within its name,
      "a%2f..%2f..%2fevil5.ics", beside one at "/alice/calendar/../evil6.ics", which lies outside
      it; every request line is appended to LOG, so the test sees where the sync wrote. Paths
      are matched as RFC 3986 makes them equal (escapes in either case).
  scripted_server.py PORT LOG proxy
      the collection as seen through a proxy that serves /alice/calendar/ at /dav/calendar/:
      requests come to /dav/calendar/..., while every href the server writes in its answers is
      /alice/calendar/...; it holds one event, "p.ics";
  scripted_server.py PORT LOG slow
      an empty collection that takes 1.2 s over every answer: each request within a 2 s
      timeout, the whole sync far beyond what so few requests may take together.

It stops when the test kills it.
"""
import re
import sys
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

COLLECTION = "/alice/calendar/"
EVENT = ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//scripted//EN\r\nBEGIN:VEVENT\r\n"
         "UID:{uid}\r\nDTSTAMP:20261201T000000Z\r\nLAST-MODIFIED:20261201T000000Z\r\n"
         "DTSTART:20261221T100000\r\nDTEND:20261221T110000\r\nSUMMARY:{summary}\r\n"
         "END:VEVENT\r\nEND:VCALENDAR\r\n")


def same_path(path):
    """A path in the spelling RFC 3986 makes equal: escapes in upper case."""
    return re.sub(r"%[0-9a-fA-F]{2}", lambda m: m.group(0).upper(), path)


class Collection:
    def __init__(self, mode):
        # href as the server spells it -> (etag, text)
        self.delay = 1.2 if mode == "slow" else 0
        if mode == "slow":
            self.served = COLLECTION
            self.items = {}
        elif mode == "proxy":
            self.served = "/dav/calendar/"
            self.items = {COLLECTION + "p.ics":
                          ('"e1"', EVENT.format(uid="proxied@scripted", summary="proxied"))}
        else:
            self.served = COLLECTION
            self.items = {
                COLLECTION + "a%2f..%2f..%2fevil5.ics":
                    ('"e1"', EVENT.format(uid="slashed@scripted", summary="slashed")),
                COLLECTION + "../evil6.ics":
                    ('"e1"', EVENT.format(uid="outside@scripted", summary="outside")),
            }
        self.version = 1

    def named(self, path):
        """The server's own path for a path requested through the proxy."""
        if path.startswith(self.served):
            return COLLECTION + path[len(self.served):]
        return path


def handler_for(collection, log_path):
    class Handler(BaseHTTPRequestHandler):
        protocol_version = "HTTP/1.1"

        def log_message(self, *args):
            pass

        def log_request_line(self):
            time.sleep(collection.delay)
            with open(log_path, "a", encoding="utf-8") as log:
                log.write(f"{self.command} {self.path}\n")

        def body(self):
            length = int(self.headers.get("Content-Length") or 0)
            return self.rfile.read(length) if length else b""

        def answer(self, status, body=b"", headers=()):
            self.send_response(status)
            for name, value in headers:
                self.send_header(name, value)
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def multistatus(self, responses):
            xml = ('<?xml version="1.0" encoding="utf-8"?><d:multistatus xmlns:d="DAV:" '
                   'xmlns:c="urn:ietf:params:xml:ns:caldav">' + "".join(responses) +
                   "</d:multistatus>")
            self.answer(207, xml.encode(), [("Content-Type", "application/xml")])

        def do_PROPFIND(self):
            self.log_request_line()
            self.body()
            responses = ["<d:response><d:href>" + COLLECTION + "</d:href><d:propstat><d:prop>"
                         "<d:resourcetype><d:collection/><c:calendar/></d:resourcetype>"
                         "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>"
                         "</d:response>"]
            for href, (etag, _) in collection.items.items():
                responses.append("<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>"
                                 "<d:resourcetype/><d:getetag>" + etag + "</d:getetag></d:prop>"
                                 "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>")
            self.multistatus(responses)

        def do_REPORT(self):
            self.log_request_line()
            body = self.body().decode()
            if "sync-collection" in body:
                self.answer(403, b"no sync tokens here")
                return
            responses = []
            asked = {same_path(h) for h in re.findall(r"<d:href>([^<]*)</d:href>", body)}
            for href, (etag, text) in collection.items.items():
                if same_path(href) in asked:
                    responses.append(
                        "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop><d:getetag>"
                        + etag + "</d:getetag><c:calendar-data>" + text.replace("&", "&amp;")
                        .replace("<", "&lt;") + "</c:calendar-data></d:prop>"
                        "<d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>")
            self.multistatus(responses)

        def stored_href(self):
            for href in collection.items:
                if same_path(href) == same_path(collection.named(self.path)):
                    return href
            return None

        def do_PUT(self):
            self.log_request_line()
            text = self.body().decode()
            href = self.stored_href()
            wanted = self.headers.get("If-Match")
            if wanted and (href is None or collection.items[href][0] != wanted):
                self.answer(412)
                return
            collection.version += 1
            etag = f'"e{collection.version}"'
            collection.items[href or collection.named(self.path)] = (etag, text)
            self.answer(204, headers=[("ETag", etag)])

        def do_DELETE(self):
            self.log_request_line()
            href = self.stored_href()
            if href is not None:
                del collection.items[href]
            self.answer(204)

        def do_GET(self):
            self.log_request_line()
            self.answer(200, b"scripted")

    return Handler


def main():
    port, log_path, mode = int(sys.argv[1]), sys.argv[2], sys.argv[3]
    if mode not in ("encoded-slash", "proxy", "slow"):
        sys.exit(f"unknown mode {mode}")
    server = ThreadingHTTPServer(("127.0.0.1", port), handler_for(Collection(mode), log_path))
    server.serve_forever()


if __name__ == "__main__":
    main()
