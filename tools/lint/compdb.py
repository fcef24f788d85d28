#!/usr/bin/env python3
"""Turns the MinGW build's compile_commands.json into one clang-tidy and cppcheck can read.

The cross compiler's command lines name i686-w64-mingw32-g++ and keep include folders in
response files; clang needs the target, the MinGW sysroot and GCC's C++ headers spelled out.
Only the program's own sources are kept, each once (a source built by two targets lints once).

usage: compdb.py BUILD_DIR OUT_DIR GCC_DIR FOLDER...
KOVA_LINT_FILES, when set, is a regular expression a source's path below the root must match.
"""
import json
import os
import re
import shlex
import sys


def expand(args, directory):
    """Inlines @file response files (CMake writes the include folders into them)."""
    out = []
    for a in args:
        if a.startswith("@"):
            path = os.path.join(directory, a[1:])
            with open(path, encoding="utf-8") as f:
                out.extend(expand(shlex.split(f.read()), directory))
        else:
            out.append(a)
    return out


def main():
    build, out_dir, gcc, *folders = sys.argv[1:]
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    prefixes = [os.path.join(root, f) + os.sep for f in folders]
    only = re.compile(os.environ.get("KOVA_LINT_FILES") or ".")
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        entries = json.load(f)

    target = ["--target=i686-w64-mingw32", "--sysroot=/usr/i686-w64-mingw32", "-nostdinc++",
              "-isystem", f"{gcc}/include/c++",
              "-isystem", f"{gcc}/include/c++/i686-w64-mingw32",
              "-isystem", f"{gcc}/include/c++/backward",
              # GCC's own headers (intrinsics) come after clang's resource headers.
              "-idirafter", f"{gcc}/include"]
    seen = set()
    result = []
    for e in entries:
        src = os.path.abspath(os.path.join(e["directory"], e["file"]))
        if src in seen or not src.endswith(".cpp") or not any(src.startswith(p) for p in prefixes):
            continue
        if not only.search(os.path.relpath(src, root)):
            continue
        seen.add(src)
        args = e["arguments"] if "arguments" in e else shlex.split(e["command"])
        args = expand(args[1:], e["directory"])
        # Keep defines, include folders, the standard and warnings; drop the output and the
        # optimisation (clang-tidy only parses).
        kept, skip = [], False
        for a in args:
            if skip:
                skip = False
                continue
            if a in ("-o", "-c"):
                skip = a == "-o"
                continue
            if a.startswith("-O") or a == src or a == e["file"]:
                continue
            kept.append(a)
        result.append({"directory": e["directory"], "file": src,
                       "arguments": ["clang++"] + target + kept + ["-c", src]})

    os.makedirs(out_dir, exist_ok=True)
    with open(os.path.join(out_dir, "compile_commands.json"), "w", encoding="utf-8") as f:
        json.dump(result, f, indent=1)
    print(len(result))


if __name__ == "__main__":
    main()
