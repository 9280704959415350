#!/usr/bin/env python3
# one_file.py SITE OUTPUT -- the page as one file: SITE's index.html with its script and both
# WebAssembly modules inside it, so that it runs opened from a disk (file://, where browsers fetch
# nothing) as well as from any host.
#
# Each module goes into a script element that browsers do not run, named by the module's file name
# and holding its bytes in base64; the page's script finds them there before it would fetch.
import base64
import sys

SCRIPT_TAG = '<script src="ripplefield.js"></script>'
MODULES = ["ripplefield.wasm", "ripplefield-fma.wasm"]


def Read(site, name, mode="r"):
    with open(f"{site}/{name}", mode) as f:
        return f.read()


def OneFile(site):
    page = Read(site, "index.html")
    script = Read(site, "ripplefield.js")
    if page.count(SCRIPT_TAG) != 1:
        raise SystemExit(f"one_file.py: index.html must load the script once with {SCRIPT_TAG}")
    # Inside an element, these would end it (or start a comment that swallows the page).
    if "</script" in script.lower() or "<!--" in script:
        raise SystemExit("one_file.py: ripplefield.js holds text that would end its element")
    parts = []
    for name in MODULES:
        encoded = base64.b64encode(Read(site, name, "rb")).decode("ascii")
        lines = "\n".join(encoded[i:i + 100] for i in range(0, len(encoded), 100))
        parts.append(f'<script type="application/octet-stream" id="{name}">\n{lines}\n</script>')
    parts.append(f"<script>\n{script}</script>")
    return page.replace(SCRIPT_TAG, "\n".join(parts))


if __name__ == "__main__":
    if len(sys.argv) != 3:
        raise SystemExit("usage: one_file.py SITE OUTPUT")
    text = OneFile(sys.argv[1])
    with open(sys.argv[2], "w", newline="\n") as out:
        out.write(text)
