#!/usr/bin/env python3
"""A web server publishing calendar feeds as a school's or a team's site does: each file of a
folder, with an ETag (a hash of its content), answering a request whose If-None-Match names
the current one with 304 Not Modified.

Usage: feed_server.py PORT FOLDER LOG. Each request is logged to LOG as one line:
"PATH STATUS if-none-match=VALUE authorization=yes|no".
"""
import hashlib
import http.server
import os
import sys

port, folder, log = int(sys.argv[1]), sys.argv[2], sys.argv[3]


class FeedHandler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        path = os.path.join(folder, os.path.basename(self.path.split("?")[0]))
        asked = self.headers.get("If-None-Match", "")
        status, body, tag = 404, b"not found", ""
        if os.path.isfile(path):
            with open(path, "rb") as feed:
                body = feed.read()
            tag = '"%s"' % hashlib.sha1(body).hexdigest()
            status = 304 if asked == tag else 200
        with open(log, "a") as out:
            authorization = "yes" if self.headers.get("Authorization") else "no"
            out.write("%s %d if-none-match=%s authorization=%s\n"
                      % (self.path, status, asked or "-", authorization))
        self.send_response(status)
        if tag:
            self.send_header("ETag", tag)
        if status == 304:
            self.end_headers()
            return
        self.send_header("Content-Type", "text/calendar; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


http.server.ThreadingHTTPServer(("127.0.0.1", port), FeedHandler).serve_forever()
