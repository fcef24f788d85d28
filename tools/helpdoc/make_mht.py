#!/usr/bin/env python3
"""Packs the help page and the pictures it names into one MHTML document.

usage: make_mht.py PAGE.html OUTPUT.mht PICTURE...

Each picture is stored under its file name, which is how the page refers to it. The
output depends only on the inputs (fixed boundary, no dates), so builds repeat.
"""
import base64
import os
import quopri
import sys

BOUNDARY = "----=_KovaHelp_Part"
TYPES = {".png": "image/png", ".ico": "image/x-icon", ".bmp": "image/bmp"}


def part(headers, body):
    lines = [f"{k}: {v}" for k, v in headers]
    return "\r\n".join(lines) + "\r\n\r\n" + body + "\r\n"


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    page, output, pictures = argv[1], argv[2], argv[3:]
    with open(page, "rb") as f:
        html = f.read()
    for pic in pictures:
        if os.path.basename(pic).encode() not in html:
            sys.stderr.write(f"make_mht: the page never names {os.path.basename(pic)}\n")
            return 1

    qp = quopri.encodestring(html.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")).decode("ascii")
    parts = [part([("Content-Type", 'text/html; charset="utf-8"'),
                   ("Content-Transfer-Encoding", "quoted-printable"),
                   ("Content-Location", "file:///kovaHelp.htm")], qp)]
    for pic in pictures:
        name = os.path.basename(pic)
        ext = os.path.splitext(name)[1].lower()
        if ext not in TYPES:
            sys.stderr.write(f"make_mht: unknown picture type {name}\n")
            return 1
        with open(pic, "rb") as f:
            data = base64.encodebytes(f.read()).decode("ascii").replace("\n", "\r\n").rstrip()
        parts.append(part([("Content-Type", TYPES[ext]),
                           ("Content-Transfer-Encoding", "base64"),
                           ("Content-Location", f"file:///{name}")], data))

    doc = ("From: <Kova>\r\nSubject: Kova Help\r\nMIME-Version: 1.0\r\n"
           f'Content-Type: multipart/related; type="text/html"; boundary="{BOUNDARY}"\r\n\r\n'
           "This is a multi-part message in MIME format.\r\n\r\n")
    for p in parts:
        doc += f"--{BOUNDARY}\r\n" + p + "\r\n"
    doc += f"--{BOUNDARY}--\r\n"
    with open(output, "wb") as f:
        f.write(doc.encode("ascii"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
