#!/bin/sh
# Makes the Stata test files and writes what R's foreign package reads back from each into
# <file>.expect. Needs R with foreign, Debian python3 and readstat.
set -e
cd "$(dirname "$0")"
Rscript foreign.R                 # foreign_v6.dta (release 108), foreign_v7.dta (release 110)
/usr/bin/python3 make_dta.py      # s<release>_<le|be>.dta for releases 103 to 110
# Both byte orders of a release must read back alike (ReadStat reads 104 and up).
for r in 104 108 110; do
  readstat -f s${r}_le.dta /tmp/check_le.csv >/dev/null
  readstat -f s${r}_be.dta /tmp/check_be.csv >/dev/null
  cmp /tmp/check_le.csv /tmp/check_be.csv
done
# foreign reads releases 105 and up; 103 and 104 hold the same data as 105 (see make_dta.py).
Rscript expect.R foreign_v6.dta foreign_v7.dta s105_le.dta s105_be.dta s108_le.dta \
  s108_be.dta s110_le.dta s110_be.dta
