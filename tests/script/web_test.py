#!/usr/bin/env python3
# Zentarix — MIT licence.
# The example site under lighttpd with zxscript as its FastCGI responder, asked over HTTP and
# opened in headless Chromium.
"""usage: web_test.py BUILD SCREENSHOT (BUILD holds bin/zxscript, bin/zxregsvr and lib/libzentarix.so)"""
import concurrent.futures
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.error
import urllib.request

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(SOURCE, "examples", "web"))
import serve  # noqa: E402  the example's own starter: the test runs the site as users do

SAMPLE_SIZE = (5312, 2988)
SKIP = 77


def jpeg_size(data):
    """(width, height) from a JPEG's frame header, None when the bytes are no JPEG."""
    if data[:2] != b"\xff\xd8":
        return None
    i = 2
    while i + 9 < len(data):
        marker, length = data[i + 1], int.from_bytes(data[i + 2:i + 4], "big")
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            return int.from_bytes(data[i + 7:i + 9], "big"), int.from_bytes(data[i + 5:i + 7], "big")
        i += 2 + length
    return None


def fetch(url, data=None, headers=None):
    request = urllib.request.Request(url, data=data, headers=headers or {})
    try:
        with urllib.request.urlopen(request, timeout=60) as r:
            return r.status, r.headers, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.headers, e.read()


def multipart(fields, file_name, file_bytes):
    boundary = "zxBoundary7MA4YWxk"
    body = b""
    for name, value in fields.items():
        body += f'--{boundary}\r\nContent-Disposition: form-data; name="{name}"\r\n\r\n{value}\r\n'.encode()
    body += (f'--{boundary}\r\nContent-Disposition: form-data; name="photo"; filename="{file_name}"\r\n'
             f'Content-Type: image/jpeg\r\n\r\n').encode() + file_bytes + f"\r\n--{boundary}--\r\n".encode()
    return body, {"Content-Type": "multipart/form-data; boundary=" + boundary}


def check_http(base, failures):
    def expect(what, got, want):
        if got != want:
            failures.append("%s: got %r, want %r" % (what, got, want))

    thumb_h = round(SAMPLE_SIZE[1] * 200 / SAMPLE_SIZE[0])
    status, headers, body = fetch(base + "thumb.asp?w=200")
    expect("thumb status", status, 200)
    expect("thumb type", headers.get("Content-Type"), "image/jpeg")
    expect("thumb size", jpeg_size(body), (200, thumb_h))

    # Bad requests: each a clear answer, and the server serves on.
    width_message = b"The width w must be a whole number from 1 to 2000."
    for query, status_want, text in (("thumb.asp", 400, width_message), ("thumb.asp?w=abc", 400, width_message),
                                     ("thumb.asp?w=1.5", 400, width_message), ("thumb.asp?w=900000000", 400, width_message),
                                     ("thumb.asp?w=64&name=../../etc/passwd", 404, b"There is no photo named"),
                                     ("broken.asp", 500, b"Division by zero</p>\n<p>/broken.asp, line 3</p>"),
                                     ("badlib.asp", 500, b"TypeLib Not Found: METADATA names a type library this server does not have. /badlib.asp, line 1"),
                                     ("forever.asp", 500, b"Script timed out: the page ran longer than Server.ScriptTimeout allows.</p>\n<p>/forever.asp, line 3"),
                                     ("global.asa", 403, b""), ("missing.asp", 404, b"")):
        status, headers, body = fetch(base + query)
        expect(query + " status", status, status_want)
        if text not in body:
            failures.append("%s: %r not in %r" % (query, text, body[:300]))
    status, _, body = fetch(base + "broken.asp")
    expect("broken page has no partial body", body.startswith(b"<html>"), False)

    status, headers, body = fetch(base + "echo.asp?a=1&a=2", b"f=x+y&g=1",
                                  {"Cookie": "theme=dark+blue", "Content-Type": "application/x-www-form-urlencoded"})
    expect("request collections", (status, body, "theme=dark+blue; path=/" in headers.get_all("Set-Cookie")),
           (200, b"1, 2|2|2|True|x y|dark blue|POST", True))

    photo = open(serve.SAMPLE, "rb").read()
    body, headers = multipart({"caption": "Boats & <harbour>"}, "boats.jpg", photo)
    status, _, page = fetch(base + "upload.asp", body, headers)
    expect("upload status", status, 200)
    if b"<figcaption>Boats &amp; &lt;harbour&gt;</figcaption>" not in page:
        failures.append("upload page lacks the caption: %r" % page[:500])
    src = page.split(b'<img src="', 1)[1].split(b'"', 1)[0].decode() if b'<img src="' in page else ""
    status, _, image = fetch(base + src)
    expect("uploaded image", (status, jpeg_size(image)), (200, (480, round(SAMPLE_SIZE[1] * 480 / SAMPLE_SIZE[0]))))
    body, headers = multipart({"caption": "x"}, "broken.jpg", b"\xff\xd8 not really a photo" * 50)
    status, _, page = fetch(base + "upload.asp", body, headers)
    expect("broken upload status", status, 400)
    if b"The upload is not a photo this site can read" not in page:
        failures.append("broken upload: %r" % page[:500])

    # Session and Application live in the one FastCGI process; requests run side by side.
    status, headers, page = fetch(base + "gallery.asp")
    cookie = headers.get("Set-Cookie", "").split(";")[0]
    status, _, page = fetch(base + "gallery.asp", headers={"Cookie": cookie})
    expect("second visit", (status, b"Your visits this session: 2." in page), (200, True))
    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        sizes = list(pool.map(lambda w: jpeg_size(fetch(base + "thumb.asp?w=%d" % w)[2]), (64, 96, 128, 160)))
    expect("side by side", [s[0] if s else None for s in sizes], [64, 96, 128, 160])


def check_cgi(build, tmp, failures):
    """The same page run as a CGI program: one process, the response in CGI form on its output."""
    site = os.path.join(tmp, "site")
    env = dict(os.environ, GATEWAY_INTERFACE="CGI/1.1", REQUEST_METHOD="GET", QUERY_STRING="w=50", SCRIPT_NAME="/thumb.asp",
               SCRIPT_FILENAME=os.path.join(site, "thumb.asp"), DOCUMENT_ROOT=site,
               ZENTARIX_REGISTRY=os.path.join(tmp, "registry.txt"))
    out = subprocess.run([os.path.join(build, "bin", "zxscript")], env=env, capture_output=True, timeout=120).stdout
    head, _, body = out.partition(b"\r\n\r\n")
    got = (head.split(b"\r\n")[:2], jpeg_size(body))
    want = ([b"Status: 200 OK", b"Content-Type: image/jpeg"], (50, round(SAMPLE_SIZE[1] * 50 / SAMPLE_SIZE[0])))
    if got != want:
        failures.append("cgi: got %r, want %r" % (got, want))
    console = subprocess.run([os.path.join(build, "bin", "zxscript"), "//Nologo", os.path.join(site, "thumb.asp"), "w=abc"],
                             env=dict(env, GATEWAY_INTERFACE=""), capture_output=True, timeout=120)
    if (console.returncode, b"<h1>400 Bad Request</h1>" in console.stdout) != (1, True):
        failures.append("console page: %d %r" % (console.returncode, console.stdout[:300]))


def check_browser(base, tmp, screenshot, failures):
    chromium = shutil.which("chromium")
    if not chromium:
        failures.append("chromium is not installed (tools/setup.sh installs it)")
        return
    common = [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--user-data-dir=" + os.path.join(tmp, "chromium"),
              "--virtual-time-budget=20000", "--window-size=1100,800"]
    env = dict(os.environ, HOME=tmp)
    dom = subprocess.run(common + ["--dump-dom", base + "gallery.asp"], capture_output=True, timeout=120, env=env).stdout.decode()
    images = dom.count("<img ")
    want = "images loaded: %d of %d" % (images, images)
    if images < 2 or want not in dom:
        failures.append("browser: want %r with 2 or more images; the page says %r" % (want, dom[dom.find('id="status"'):][:200]))
    subprocess.run(common + ["--screenshot=" + screenshot, base + "gallery.asp"], capture_output=True, timeout=120, env=env)
    if not os.path.exists(screenshot):
        failures.append("browser: no screenshot written")
    else:
        print("screenshot of the gallery:", screenshot)


def main(argv):
    build, screenshot = (os.path.abspath(a) for a in argv[1:3])
    if not serve.LIGHTTPD:
        print("SKIP: lighttpd is not installed (tools/setup.sh installs it)")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory(prefix="zx-web-") as tmp:
        server, base = serve.start(tmp, build)
        with open(os.path.join(tmp, "site", "broken.asp"), "w") as f:
            f.write("<html>\n<% Dim x\nx = 1 / 0 %>\n</html>\n")
        with open(os.path.join(tmp, "site", "echo.asp"), "w") as f:
            f.write('<% Response.Cookies("theme") = "dark blue"\nDim q : Set q = Request.QueryString("a")\n'
                    'Response.Write q & "|" & q.Count & "|" & q(2) & "|" & IsEmpty(Request("none")) & "|" & Request.Form("f") & "|" & '
                    'Request("theme") & "|" & Request.ServerVariables("REQUEST_METHOD") %>')
        with open(os.path.join(tmp, "site", "forever.asp"), "w") as f:
            f.write("<% Server.ScriptTimeout = 1\nOn Error Resume Next\nDo\nLoop %>")
        with open(os.path.join(tmp, "site", "badlib.asp"), "w") as f:
            f.write("<!--METADATA TYPE=\"TypeLib\" UUID=\"{00000000-0000-0000-0000-000000000001}\" -->\n")
        try:
            check_http(base, failures)
            check_cgi(build, tmp, failures)
            check_browser(base, tmp, screenshot, failures)
        finally:
            serve.stop(server)
            if failures and os.path.exists(os.path.join(tmp, "error.log")):
                print(open(os.path.join(tmp, "error.log")).read()[-3000:])
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
