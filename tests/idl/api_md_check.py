#!/usr/bin/env python3
# Zentarix — MIT licence.
# Fails when the committed API reference differs from the one the IDL generates.
import difflib
import sys

generated, committed = sys.argv[1], sys.argv[2]
with open(generated, encoding="utf-8") as f:
    want = f.read().splitlines(keepends=True)
try:
    with open(committed, encoding="utf-8") as f:
        have = f.read().splitlines(keepends=True)
except FileNotFoundError:
    have = []
if want != have:
    diff = list(difflib.unified_diff(have, want, committed, generated))
    sys.stdout.writelines(diff[:60])
    print("\ndocs/api.md is out of date with the IDL: build the update_api_docs target and commit it.")
    sys.exit(1)
print("docs/api.md matches the IDL")
