#!/usr/bin/env python3
# Zentarix — MIT licence.
# Runs zxscript on a test script and compares what it printed with the expected output.
"""usage: run_script_test.py ZXSCRIPT CASES EXPECTED [--example SCRIPT [ARG...] --]

CASES is a script, or several separated by lines "'=== name" (each runs on its own). Each run is
reported as "=== name", its standard output, its standard error and "exit N" when N is not 0.
Every run happens in one fresh temporary folder (the working directory), whose path replaces
{tmp} in arguments and scripts. With --example, that script runs first (its output is not compared, but it
must succeed), so CASES can check what it made. {sample} is the bundled photo."""
import difflib
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))


def expand(arg, tmp):
    return arg.replace("{tmp}", tmp).replace("{sample}", os.path.join(SOURCE, "examples", "sample.jpg")) \
              .replace("{source}", SOURCE)


def run(zxscript, script, args, tmp):
    p = subprocess.run([zxscript, "//Nologo", script] + args, cwd=tmp, capture_output=True, timeout=600)
    out = p.stdout.decode("utf-8", "replace") + p.stderr.decode("utf-8", "replace")
    if p.returncode:
        out += "exit %d\n" % p.returncode
    return out, p.returncode


def sections(text):
    if not text.startswith("'==="):
        return [(None, text, [])]
    out = []
    for chunk in text.split("'=== ")[1:]:
        head, _, body = chunk.partition("\n")
        name, *args = head.split()
        out.append((name, body, args))
    return out


def main(argv):
    zxscript, cases, expected = os.path.abspath(argv[1]), argv[2], argv[3]
    example = None
    if len(argv) > 4 and argv[4] == "--example":
        end = argv.index("--", 5)
        example = [os.path.abspath(argv[5])] + argv[6:end]
    with open(cases, encoding="utf-8") as f:
        text = f.read()
    with tempfile.TemporaryDirectory() as tmp:
        got = ""
        if example:
            out, code = run(zxscript, expand(example[0], tmp), [expand(a, tmp) for a in example[1:]], tmp)
            if code:
                print(out)
                return 1
        for name, body, args in sections(text):
            path = os.path.join(tmp, (name or os.path.splitext(os.path.basename(cases))[0]) + ".vbs")
            with open(path, "w", encoding="utf-8") as f:
                f.write(expand(body, tmp))
            if name:
                got += "=== %s\n" % name
            got += run(zxscript, os.path.basename(path), [expand(a, tmp) for a in args], tmp)[0]
    with open(expected, encoding="utf-8") as f:
        want = f.read()
    if got == want:
        return 0
    sys.stdout.writelines(difflib.unified_diff(want.splitlines(True), got.splitlines(True), "expected", "got"))
    return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
