#!/usr/bin/python3
"""A real Radicale (its WSGI application, on the storage its config names) behind one mishap, for
the sync scenarios that need a server to fail at a chosen moment:

  radicale_interrupted.py CONFIG PORT stop-after N
      answers N requests, then stops dead (the process ends) on the next one, as a server that
      goes down in the middle of a sync;
  radicale_interrupted.py CONFIG PORT change-before-put FILE
      before the first conditional PUT (If-Match) it writes FILE over that item, as another
      client would in the same moment, so that Radicale itself answers 412;
  radicale_interrupted.py CONFIG PORT run-before-multiget COMMAND
  radicale_interrupted.py CONFIG PORT run-before-put COMMAND
      runs the shell COMMAND (another program changing the planner's store, say) before it
      answers the first calendar-multiget REPORT, or the first PUT: something happening here
      while a sync is under way;
  radicale_interrupted.py CONFIG PORT run-after-put COMMAND
      stores the first PUT, then runs COMMAND before it answers (the sync killed between its
      upload and the record of it, say).
"""
import io
import os
import subprocess
import sys
import wsgiref.simple_server

import radicale
import radicale.config


class QuietHandler(wsgiref.simple_server.WSGIRequestHandler):
    def log_message(self, *args):
        pass


def main():
    config_path, port, mode, argument = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    configuration = radicale.config.load([(config_path, False)])
    application = radicale.Application(configuration)
    state = {"requests": 0, "changed": False, "ran": False}

    def interrupted(environ, start_response):
        # Only the sync's requests count, not the probe that waits for the server to be up.
        if environ.get("HTTP_AUTHORIZATION"):
            state["requests"] += 1
            if mode == "stop-after" and state["requests"] > int(argument):
                os._exit(0)
        if (mode == "change-before-put" and not state["changed"]
                and environ["REQUEST_METHOD"] == "PUT" and environ.get("HTTP_IF_MATCH")):
            state["changed"] = True
            with open(argument, "rb") as text:
                body = text.read()
            other = {key: value for key, value in environ.items()
                     if key not in ("HTTP_IF_MATCH", "HTTP_IF_NONE_MATCH")}
            other["wsgi.input"] = io.BytesIO(body)
            other["CONTENT_LENGTH"] = str(len(body))
            for _ in application(other, lambda status, headers: None):
                pass
        if mode in ("run-before-multiget", "run-before-put") and not state["ran"]:
            length = int(environ.get("CONTENT_LENGTH") or 0)
            body = environ["wsgi.input"].read(length) if length else b""
            environ["wsgi.input"] = io.BytesIO(body)
            if ((mode == "run-before-put" and environ["REQUEST_METHOD"] == "PUT")
                    or (mode == "run-before-multiget" and b"calendar-multiget" in body)):
                state["ran"] = True
                subprocess.run(argument, shell=True, check=False)
        if (mode == "run-after-put" and not state["ran"]
                and environ["REQUEST_METHOD"] == "PUT"):
            state["ran"] = True
            answer = list(application(environ, start_response))
            subprocess.run(argument, shell=True, check=False)
            return answer
        return application(environ, start_response)

    server = wsgiref.simple_server.make_server("127.0.0.1", port, interrupted,
                                               handler_class=QuietHandler)
    server.serve_forever()


if __name__ == "__main__":
    main()
