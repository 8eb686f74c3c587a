#!/usr/bin/env python3
"""Writes the seeds of the multi-file fuzz targets: each sample data set under tests/data framed
into one input (the main file, then each companion after a line "--8<-- .ext")."""
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MARKER = b"\n--8<-- "

# target: (sample directory, main extension, companion extensions)
TARGETS = {
    "fuzz_shape": ("shape", ".shp", [".shx", ".dbf"]),
    "fuzz_mif": ("mif", ".mif", [".mid"]),
    "fuzz_gauss": ("gauss", ".dht", [".dat"]),
    "fuzz_mstat": ("mstat", ".hdr", [".dat"]),
}


def framed(main, parts):
    out = main
    for ext, data in parts:
        out += MARKER + ext.encode() + b"\n" + data
    return out


def main():
    for target, (sample, ext, companions) in TARGETS.items():
        src = os.path.join(ROOT, "tests", "data", sample)
        dst = os.path.join(ROOT, "fuzz", "seeds", target)
        os.makedirs(dst, exist_ok=True)
        for name in sorted(os.listdir(src)):
            if not name.endswith(ext):
                continue
            stem = name[: -len(ext)]
            with open(os.path.join(src, name), "rb") as f:
                body = f.read()
            parts = []
            for c in companions:
                path = os.path.join(src, stem + c)
                if os.path.exists(path):
                    with open(path, "rb") as f:
                        parts.append((c, f.read()))
            with open(os.path.join(dst, stem + ".framed"), "wb") as f:
                f.write(framed(body, parts))
    return 0


if __name__ == "__main__":
    sys.exit(main())
