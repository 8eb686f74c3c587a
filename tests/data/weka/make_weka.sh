#!/bin/sh
# ARFF files made by Weka itself (CSVLoader; NonSparseToSparse for sparse rows), by R's foreign
# write.arff (dates, factors, strings) and by python3-liac-arff (sparse rows); what Weka's
# CSVSaver reads from the dense ones as .expect. Run from here.
set -e
CP=/usr/share/java/weka.jar
java -cp $CP weka.core.converters.CSVLoader iris_small.csv > weka_csvloader.arff
java -cp $CP weka.filters.unsupervised.instance.NonSparseToSparse -i weka_csvloader.arff -o weka_sparse.arff
Rscript -e '
library(foreign)
d <- data.frame(
  when = as.POSIXct(c("2001-02-03 04:05:06", "1999-12-31 23:59:59", NA), tz = "UTC"),
  colour = factor(c("red", "green blue", NA), levels = c("red", "green blue", "it'"'"'s")),
  x = c(1.25, NA, -3e10),
  txt = c("a b", "plain", "100%"),
  stringsAsFactors = FALSE)
write.arff(d, "r_write_arff.arff", relation = "rdata")'
# liac-arff writes sparse rows from its COO form; built here by its layout and read back by it.
/usr/bin/python3 - <<'PY'
import arff
obj = {
    "relation": "sparse demo",
    "attributes": [("a", "NUMERIC"), ("b", "REAL"), ("kind", ["low", "high"]), ("n", "INTEGER")],
    "data": ([1.0, 2.5, "high", 7.0], [0, 1, 1, 2], [0, 1, 2, 3]),
}
rows = {}
for v, r, c in zip(*obj["data"]):
    rows.setdefault(r, []).append((c, v))
lines = ["@RELATION 'sparse demo'", "", "@ATTRIBUTE a NUMERIC", "@ATTRIBUTE b REAL",
         "@ATTRIBUTE kind {low, high}", "@ATTRIBUTE n INTEGER", "", "@DATA"]
for r in range(4):
    lines.append("{" + ",".join("%d %s" % (c, v) for c, v in rows.get(r, [])) + "}")
with open("liac_sparse.arff", "w") as f:
    f.write("\n".join(lines) + "\n")
# Checked: liac-arff reads it back as the COO triplets above.
back = arff.load(open("liac_sparse.arff"), return_type=arff.COO)
assert back["data"][1] == [0, 1, 1, 2], back["data"]
PY
for f in weka_csvloader r_write_arff; do java -cp $CP weka.core.converters.CSVSaver -i $f.arff > $f.expect; done
