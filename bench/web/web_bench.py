#!/usr/bin/env python3
# Zentarix — MIT licence.
# Requests per second for the example site's thumbnail page under lighttpd + zxscript (FastCGI).
"""usage: bench/web/web_bench.py [BUILD (default: build)] [seconds per case (default: 20)]

The site runs as examples/web/serve.py starts it, with the 20.4-megapixel benchmark photo and a
1-megapixel copy of it (made by the site itself). A load generator on localhost sends
`thumb.asp?w=200&name=...` from 1 and from 2 clients (threads, each with one kept-alive
connection), each case bounded by a request count and a time; every answer is checked (200, a JPEG
200 pixels wide). Where the time goes: an empty page gives the host's own cost per request, and a
console script times the page's three component calls (LoadFile, Resize, SaveStream) apart."""
import http.client
import os
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(ROOT, "examples", "web"))
import serve  # noqa: E402

PHOTO = os.path.join(ROOT, "bench", "data", "Kleiber_by_Lukas_Baubkus.jpg")
MAX_REQUESTS = 400

STEPS_VBS = """Const rqtHighQualityBicubicMode = 4
Dim photo, t0, t1, t2, t3, i, load, resize, save, runs
runs = CInt(WScript.Arguments(1))
For i = 1 To runs
  Set photo = CreateObject("Zentarix.RasterObject")
  t0 = Timer
  photo.LoadFile WScript.Arguments(0)
  t1 = Timer
  photo.Resize 200, Round(photo.Height * 200 / photo.Width), rqtHighQualityBicubicMode
  t2 = Timer
  photo.SaveStream Response
  t3 = Timer
  load = load + t1 - t0 : resize = resize + t2 - t1 : save = save + t3 - t2
Next
WScript.Echo FormatNumber(1000 * load / runs, 1) & " " & FormatNumber(1000 * resize / runs, 1) & " " & FormatNumber(1000 * save / runs, 1)
"""


def load(base, path, clients, seconds):
    """Requests per second and mean latency (ms) with `clients` threads for about `seconds`."""
    host, port = base.split("//")[1].rstrip("/").split(":")
    done, latencies, errors = [0], [], []
    lock = threading.Lock()
    deadline = time.perf_counter() + seconds

    def client():
        conn = http.client.HTTPConnection(host, int(port), timeout=60)
        while time.perf_counter() < deadline:
            with lock:
                if done[0] >= MAX_REQUESTS:
                    return
                done[0] += 1
            start = time.perf_counter()
            conn.request("GET", path)
            r = conn.getresponse()
            body = r.read()
            if r.status != 200 or body[:2] not in (b"\xff\xd8", b"ok"):
                errors.append(r.status)
            with lock:
                latencies.append(time.perf_counter() - start)
        conn.close()

    begin = time.perf_counter()
    threads = [threading.Thread(target=client) for _ in range(clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    elapsed = time.perf_counter() - begin
    if errors:
        sys.exit("web_bench: %d failed requests (%s)" % (len(errors), errors[:5]))
    return len(latencies) / elapsed, 1000 * sum(latencies) / len(latencies), len(latencies)


def main(argv):
    build = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(ROOT, "build"))
    seconds = float(argv[2]) if len(argv) > 2 else 20.0
    with tempfile.TemporaryDirectory(prefix="zx-web-bench-") as state:
        server, base = serve.start(state, build, photos=(PHOTO,))
        try:
            site = os.path.join(state, "site")
            with open(os.path.join(site, "empty.asp"), "w") as f:
                f.write("<% Response.ContentType = \"text/plain\" : Response.Write \"ok\" %>")
            small = os.path.join(site, "photos", "one-megapixel.jpg")
            host, port = base.split("//")[1].rstrip("/").split(":")
            conn = http.client.HTTPConnection(host, int(port), timeout=120)
            conn.request("GET", "/thumb.asp?w=1333&name=" + os.path.basename(PHOTO))  # 1333 x 750
            with open(small, "wb") as f:
                f.write(conn.getresponse().read())
            print("| Page | Clients | Requests | Requests/s | Mean latency (ms) |")
            print("|---|---|---|---|---|")
            for label, path in (("empty page", "/empty.asp"),
                                ("thumbnail of 20.4 MP", "/thumb.asp?w=200&name=" + os.path.basename(PHOTO)),
                                ("thumbnail of 1 MP", "/thumb.asp?w=200&name=one-megapixel.jpg")):
                for clients in (1, 2):
                    rate, latency, count = load(base, path, clients, seconds)
                    print("| %s | %d | %d | %.1f | %.1f |" % (label, clients, count, rate, latency), flush=True)
            steps = os.path.join(state, "steps.vbs")
            with open(steps, "w") as f:
                f.write(STEPS_VBS)
            env = dict(os.environ, ZENTARIX_REGISTRY=os.path.join(state, "registry.txt"))
            print("\n| Photo | LoadFile ms | Resize ms | SaveStream ms |")
            print("|---|---|---|---|")
            for label, photo, runs in (("20.4 MP", PHOTO, 5), ("1 MP", small, 20)):
                out = subprocess.run([os.path.join(build, "bin", "zxscript"), "//Nologo", "//Response:" + os.devnull, steps, photo, str(runs)],
                                     env=env, capture_output=True, text=True, timeout=600, check=True).stdout.split()
                print("| %s | %s | %s | %s |" % (label, out[0], out[1], out[2]))
        finally:
            serve.stop(server)


if __name__ == "__main__":
    main(sys.argv)
