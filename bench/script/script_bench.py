#!/usr/bin/env python3
# Zentarix — MIT licence.
# Times zxscript against CPython on the same loop, and 10,000 calls into the component.
"""usage: bench/script/script_bench.py [BUILD (default: build)] [runs (default: 5)]

Each program runs `runs` times, interleaved so that a change in the machine's load touches all
alike; the median is reported in CPU time (user + system, from the kernel's accounting of the
child) and in wall time. Start-up (an empty script, `python3 -c pass`) is timed apart and taken
off the loop's figures. The module is registered in a registry of the benchmark's own."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(os.path.dirname(HERE))


def measure(command, env):
    start = time.perf_counter()
    p = subprocess.Popen(command, stdout=subprocess.DEVNULL, env=env)
    _, status, usage = os.wait4(p.pid, 0)
    wall = time.perf_counter() - start
    p.returncode = os.waitstatus_to_exitcode(status)
    if p.returncode:
        sys.exit("script_bench: %s failed" % " ".join(command))
    return usage.ru_utime + usage.ru_stime, wall


def main(argv):
    build = os.path.abspath(argv[1] if len(argv) > 1 else os.path.join(ROOT, "build"))
    runs = int(argv[2]) if len(argv) > 2 else 5
    zxscript = os.path.join(build, "bin", "zxscript")
    python = sys.executable
    with tempfile.NamedTemporaryFile(suffix=".reg") as registry:
        env = dict(os.environ, ZENTARIX_REGISTRY=registry.name)
        subprocess.run([os.path.join(build, "bin", "zxregsvr"), "/s", os.path.join(build, "lib", "libzentarix.so")],
                       env=env, check=True)
        cases = {
            "zxscript start-up": [zxscript, "//Nologo", os.path.join(HERE, "empty.vbs")],
            "python3 start-up": [python, "-c", "pass"],
            "zxscript loop": [zxscript, "//Nologo", os.path.join(HERE, "loop.vbs")],
            "python3 loop": [python, os.path.join(HERE, "loop.py")],
            "zxscript 10,000 calls": [zxscript, "//Nologo", os.path.join(HERE, "calls.vbs")],
        }
        samples = {name: [] for name in cases}
        for _ in range(runs):
            for name, command in cases.items():
                samples[name].append(measure(command, env))
    cpu = {n: statistics.median(s[0] for s in v) for n, v in samples.items()}
    wall = {n: statistics.median(s[1] for s in v) for n, v in samples.items()}
    print("%-24s %10s %10s" % ("median of %d" % runs, "CPU ms", "wall ms"))
    for name in cases:
        print("%-24s %10.0f %10.0f" % (name, cpu[name] * 1000, wall[name] * 1000))
    ours = cpu["zxscript loop"] - cpu["zxscript start-up"]
    theirs = cpu["python3 loop"] - cpu["python3 start-up"]
    print("loop without start-up: zxscript %.0f ms, python3 %.0f ms: %.2fx CPython's time" %
          (ours * 1000, theirs * 1000, ours / theirs))
    calls = cpu["zxscript 10,000 calls"] - cpu["zxscript start-up"]
    print("component calls: %.1f us per call (start-up and the module's load included)" % (calls * 1e6 / 10000))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
