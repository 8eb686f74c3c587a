#!/bin/sh
# ARFF files by Weka (CSVLoader, NonSparseToSparse), R's foreign write.arff and python3-liac-arff (sparse rows);
# .expect: what Weka's CSVSaver reads from the dense ones. Run from here.
set -e
CP=/usr/share/java/weka.jar
java -cp $CP weka.core.converters.CSVLoader iris_small.csv > weka_csvloader.arff
java -cp $CP weka.filters.unsupervised.instance.NonSparseToSparse -i weka_csvloader.arff -o weka_sparse.arff
Rscript -e '
library(foreign)
d <- data.frame(
  when = as.POSIXct(c("2001-02-03 04:05:06", "1999-12-31 23:59:59", NA), tz = "UTC"),
  colour = factor(c("red", "green blue", NA), levels = c("red", "green blue", "it'"'"'s")),
  x = c(1.25, NA, -3e10), txt = c("a b", "plain", "100%"), stringsAsFactors = FALSE)
write.arff(d, "r_write_arff.arff", relation = "rdata")'
# Sparse rows laid out by liac-arff's layout from COO triplets, and checked to read back as those.
/usr/bin/python3 - <<'PY'
import arff
data = ([1.0, 2.5, "high", 7.0], [0, 1, 1, 2], [0, 1, 2, 3])
rows = [",".join("%d %s" % (c, v) for v, r, c in zip(*data) if r == row) for row in range(4)]
open("liac_sparse.arff", "w").write("@RELATION 'sparse demo'\n\n@ATTRIBUTE a NUMERIC\n@ATTRIBUTE b REAL\n"
                                    "@ATTRIBUTE kind {low, high}\n@ATTRIBUTE n INTEGER\n\n@DATA\n"
                                    + "".join("{%s}\n" % r for r in rows))
back = arff.load(open("liac_sparse.arff"), return_type=arff.COO)
assert back["data"][1] == [0, 1, 1, 2], back["data"]
PY
for f in weka_csvloader r_write_arff; do java -cp $CP weka.core.converters.CSVSaver -i $f.arff > $f.expect; done
