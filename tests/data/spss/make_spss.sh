#!/bin/sh
# Makes the SPSS test files with independent tools and writes what R's foreign package reads
# back from each into <file>.expect. Needs pspp, R with foreign and haven, Debian python3.
set -e
cd "$(dirname "$0")"
pspp types.sps >/dev/null                       # types_comp.sav, types_unc.sav
Rscript haven.R                                 # haven_byte.sav, haven_none.sav
/usr/bin/python3 swap_sav.py types_comp.sav types_comp_be.sav
/usr/bin/python3 swap_sav.py types_unc.sav types_unc_be.sav
# The case count is optional in the header: -1 means "count them".
cp types_comp.sav types_nocount.sav
printf '\377\377\377\377' | dd of=types_nocount.sav bs=1 seek=80 conv=notrunc status=none
# The swapped and patched files must read back exactly like their originals.
for f in types_comp_be:types_comp types_unc_be:types_unc types_nocount:types_comp; do
  pspp-convert -O csv ${f%:*}.sav /tmp/check_new.csv && pspp-convert -O csv ${f#*:}.sav /tmp/check_ref.csv
  cmp /tmp/check_ref.csv /tmp/check_new.csv
done
# types_nocount.sav is checked against types_comp.expect (foreign cannot read a count of -1).
Rscript expect.R types_comp.sav types_unc.sav types_comp_be.sav types_unc_be.sav \
  haven_byte.sav haven_none.sav
# haven's example iris.sav (written by ReadStat) leaves the header's case size 0; pspp reads
# all 150 cases of it, counting the slots from the dictionary. Its values as pspp reads them:
cp "$(Rscript -e 'cat(system.file("examples", "iris.sav", package = "haven"))')" iris_haven.sav
pspp-convert -O csv iris_haven.sav iris_haven.csv
