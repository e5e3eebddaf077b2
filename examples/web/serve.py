#!/usr/bin/env python3
# Zentarix — MIT licence.
# Starts the example site on http://127.0.0.1:PORT/ with lighttpd and zxscript's FastCGI responder.
"""usage: serve.py [--port 8080] [--build FOLDER]

The site is copied to a temporary folder with the sample photo (uploads stay out of the checkout),
the module is registered in a registry of that folder's own, and lighttpd runs until Ctrl-C. The
web tests and the web benchmark start the site through start() and stop()."""
import argparse
import os
import shutil
import signal
import socket
import subprocess
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
SAMPLE = os.path.join(SOURCE, "examples", "sample.jpg")
LIGHTTPD = shutil.which("lighttpd") or shutil.which("lighttpd", path="/usr/sbin:/sbin")


def free_port():
    with socket.socket() as s:  # the kernel's choice, released for lighttpd
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start(state, build, port=None, photos=(SAMPLE,)):
    """Copies the site into `state`/site and starts lighttpd there; returns (process, base URL)."""
    site = os.path.join(state, "site")
    shutil.copytree(HERE, site, ignore=shutil.ignore_patterns("*.in", "*.py", "__pycache__"))
    os.makedirs(os.path.join(site, "photos"))
    for photo in photos:
        shutil.copy(photo, os.path.join(site, "photos", "dandelions.jpg" if photo == SAMPLE else os.path.basename(photo)))
    registry = os.path.join(state, "registry.txt")
    subprocess.run([os.path.join(build, "bin", "zxregsvr"), "/s", os.path.join(build, "lib", "libzentarix.so")],
                   env=dict(os.environ, ZENTARIX_REGISTRY=registry), check=True, timeout=60)
    port = port or free_port()
    conf = open(os.path.join(HERE, "lighttpd.conf.in")).read()
    for name, value in (("ROOT", site), ("PORT", str(port)), ("STATE", state),
                        ("ZXSCRIPT", os.path.join(build, "bin", "zxscript")), ("REGISTRY", registry)):
        conf = conf.replace("@%s@" % name, value)
    with open(os.path.join(state, "lighttpd.conf"), "w") as f:
        f.write(conf)
    server = subprocess.Popen([LIGHTTPD, "-D", "-f", os.path.join(state, "lighttpd.conf")], start_new_session=True)
    deadline = time.time() + 15
    while time.time() < deadline and server.poll() is None:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            return server, "http://127.0.0.1:%d/" % port
        except OSError:
            time.sleep(0.1)
    stop(server)
    log = os.path.join(state, "error.log")
    raise RuntimeError("lighttpd did not start on port %d: %s" % (port, open(log).read() if os.path.exists(log) else ""))


def stop(server):
    """Ends lighttpd and the zxscript it started (one process group)."""
    try:
        os.killpg(server.pid, signal.SIGTERM)
        server.wait(timeout=10)
    except ProcessLookupError:
        pass
    except subprocess.TimeoutExpired:
        os.killpg(server.pid, signal.SIGKILL)
        server.wait(timeout=10)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--port", type=int, default=8080)
    ap.add_argument("--build", default=os.path.join(SOURCE, "build"))
    args = ap.parse_args()
    if not LIGHTTPD:
        raise SystemExit("serve.py: lighttpd is not installed (tools/setup.sh installs it)")
    with tempfile.TemporaryDirectory(prefix="zx-web-") as state:
        server, base = start(state, os.path.abspath(args.build), args.port)
        print("Serving %sgallery.asp (files in %s; Ctrl-C stops)" % (base, state), flush=True)
        try:
            server.wait()
        except KeyboardInterrupt:
            pass
        finally:
            stop(server)


if __name__ == "__main__":
    main()
