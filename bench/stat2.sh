#!/usr/bin/env bash
# Benchmark of the Systat and Gauss readers: makes a 1,000,000-row by 12-variable Systat file
# (10 numbers and 2 strings, single precision) and a Gauss matrix (.fmt, 12 columns) with the
# generators' layouts, then times morvalen converting each to CSV against R foreign's
# read.systat + write.csv and numpy + pandas. Prints the timing table of bench/lib.sh.
# Usage: bench/stat2.sh [morvalen binary] (default build/morvalen); BENCH_ROWS rows; work files
# in $BENCH_DIR (kept between runs, one directory per row count).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(realpath "${1:-${MORVALEN:-$root/build/morvalen}}")
rows=${BENCH_ROWS:-1000000}
dir=${BENCH_DIR:-/tmp/morvalen-bench-stat2-$rows}
. "$root/bench/lib.sh"
mkdir -p "$dir"
cd "$dir"

if [ ! -f big.sys ] || [ ! -f big.fmt ]; then
  /usr/bin/python3 - "$rows" <<'PY'
import struct, sys
import numpy as np
rows = int(sys.argv[1])
rng = np.random.default_rng(1)

def record(data):
    out = b""
    while len(data) > 128:
        out += b"\x81" + data[:128] + b"\x81"
        data = data[128:]
    return out + bytes([len(data)]) + data + bytes([len(data)])

names = ["X%d" % i for i in range(1, 11)] + ["NAME$", "TOWN$"]
head = b"\x4b" + record(b"\x1e\0\0\0\0\0") + record(b"$".ljust(72))
head += record(struct.pack("<3h", 12, 1, 1))  # rectangular, single precision
head += b"".join(record((n[:-1].ljust(8) + "$" if "$" in n else n).encode().ljust(12)) for n in names)
nums = rng.normal(50, 10, (rows, 10)).astype("<f4")
# One case: marker 64, 40 bytes of singles, 24 bytes of strings, marker 64.
case = np.zeros(rows, dtype=[("m1", "u1"), ("x", "<f4", 10), ("name", "S12"), ("town", "S12"), ("m2", "u1")])
case["m1"] = case["m2"] = 64
case["x"] = nums
case["name"] = np.char.ljust(np.char.add(b"n", (np.arange(rows) % 1000).astype("S3")), 12)
case["town"] = np.char.ljust(np.char.add(b"Town ", (np.arange(rows) % 50).astype("S2")), 12)
with open("big.sys", "wb") as f:
    f.write(head)
    f.write(case.tobytes())
    f.write(b"\x82")
m = rng.normal(0, 1, (rows, 12)).astype("<f8")
with open("big.fmt", "wb") as f:
    f.write(struct.pack("<4I", 0x0086EEDD, rows, 12, rows * 12 * 8))
    f.write(m.tobytes())
PY
fi
bench_workload .sys "$(stat -c %s big.sys)" $(sheet_bytes "$rows" 12)
bench_run morvalen "$bin" big.sys out.csv
bench_run r-foreign Rscript -e 'library(foreign); write.csv(read.systat("big.sys"), "out.csv", row.names = FALSE)'
bench_workload .fmt "$(stat -c %s big.fmt)" $(sheet_bytes "$rows" 12)
bench_run morvalen "$bin" big.fmt out.csv
bench_run numpy+pandas /usr/bin/python3 -c 'import numpy, pandas; n = numpy.fromfile("big.fmt", "<f8", offset=16).reshape(-1, 12); pandas.DataFrame(n).to_csv("out.csv", index=False)'
bench_finish
