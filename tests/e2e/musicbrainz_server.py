#!/usr/bin/python3
"""A stand-in for the MusicBrainz web service on 127.0.0.1, for the real program's tests.

Answers every disc-ID look-up with EDITIONS releases of a Japanese disc that carry the ID asked
for, TRACKS tracks long, after DELAY seconds. Writes its port to PORT_FILE and each request (path
and User-Agent, tab-separated) to LOG_FILE.
    musicbrainz_server.py PORT_FILE LOG_FILE TRACKS [DELAY [EDITIONS]]
As the Cover Art Archive, answers /release/<ID>/front-500 with a redirect to /images/<ID>.jpg on
the same server, which gives the file named by $COVER_FILE; with $COVER_MODE "missing" a 404
instead, with "broken" bytes that are no image.
"""
import json
import os
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

port_file, log_file, tracks = sys.argv[1], sys.argv[2], int(sys.argv[3])
delay = float(sys.argv[4]) if len(sys.argv) > 4 else 0.0
editions = int(sys.argv[5]) if len(sys.argv) > 5 else 1
log_lock = threading.Lock()


def release_for(disc_id):
    return {"id": disc_id, "releases": [edition(disc_id, e) for e in range(1, editions + 1)]}


def edition(disc_id, number):
    titles = [f"第{n}曲\u3000和音の調べ" for n in range(1, tracks + 1)]
    return {
            "id": f"00000000-0000-0000-0000-00000000000{number}",
            "title": "デモの\u0007ディスク" + ("" if number == 1 else f" 第{number}版"),
            "status": "Official",
            "text-representation": {"language": "jpn", "script": "Jpan"},
            "artist-credit": [{"name": "テスト楽団", "joinphrase": ""}],
            "date": "2024-04-01", "country": "JP", "barcode": "4900000000001",
            "label-info": [{"catalog-number": f"TEST-000{number}", "label": {"name": "試験レーベル"}}],
            "media": [{
                "position": 1, "title": "", "format": "CD", "track-count": tracks,
                "discs": [{"id": disc_id}],
                "tracks": [{"position": n, "number": str(n), "title": t,
                            "recording": {"title": t}} for n, t in enumerate(titles, 1)],
            }],
    }


class Handler(BaseHTTPRequestHandler):
    def do_GET(self):
        with log_lock, open(log_file, "a", encoding="utf-8") as log:
            log.write(f"{self.path}\t{self.headers.get('User-Agent', '')}\n")
        time.sleep(delay)
        path = self.path.split("?")[0]
        if path.startswith("/release/") or path.startswith("/images/"):
            return self.cover(path)
        if not path.startswith("/ws/2/discid/") or path.endswith("/-"):
            return self.answer(404, {"error": "Not Found"})
        self.answer(200, release_for(path.rsplit("/", 1)[1]))

    def cover(self, path):
        mode = os.environ.get("COVER_MODE", "image")
        if mode == "missing":
            return self.answer(404, {"error": "Not Found"})
        if path.startswith("/release/"):
            self.send_response(307)
            self.send_header("Location", "/images/" + path.split("/")[2] + ".jpg")
            self.send_header("Content-Length", "0")
            return self.end_headers()
        if mode == "broken":
            return self.answer(200, b"\xff\xd8\xff\xe0 no image", "image/jpeg")
        with open(os.environ["COVER_FILE"], "rb") as f:
            self.answer(200, f.read(), "image/jpeg")

    def answer(self, status, body, content_type="application/json; charset=utf-8"):
        data = body if isinstance(body, bytes) else json.dumps(body, ensure_ascii=False).encode("utf-8")
        try:
            self.send_response(status)
            self.send_header("Content-Type", content_type)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def log_message(self, *args):
        pass


server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".tmp", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
