# Reads each Stata file back with R's foreign package and writes what it holds to
# <file>.expect, one fact a line, tab-separated:
#   T label                  the data label
#   V name type label        variable, its storage type as foreign reports it, its label
#   N name table             the value label table the variable names ("" when none)
#   L table value label      an entry of a value label table
#   D name row value         a cell (NA for Stata's missing; numbers as %.17g)
library(foreign)
num <- function(x) ifelse(is.na(x), "NA", sprintf("%.17g", x))
for (f in commandArgs(TRUE)) {
  d <- read.dta(f, convert.dates = FALSE, convert.factors = FALSE, missing.type = FALSE)
  out <- paste("T", attr(d, "datalabel"), sep = "\t")
  types <- attr(d, "types")
  for (i in seq_along(d)) {
    v <- names(d)[i]
    out <- c(out, paste("V", v, types[i], attr(d, "var.labels")[i], sep = "\t"),
             paste("N", v, attr(d, "val.labels")[i], sep = "\t"))
  }
  tabs <- attr(d, "label.table")
  for (t in names(tabs))
    out <- c(out, paste("L", t, num(unname(tabs[[t]])), names(tabs[[t]]), sep = "\t"))
  for (v in names(d)) {
    x <- d[[v]]
    cells <- if (is.numeric(x)) num(x) else x
    out <- c(out, paste("D", v, seq_along(cells), cells, sep = "\t"))
  }
  writeLines(out, paste0(sub("\\.dta$", "", f), ".expect"), useBytes = TRUE)
}
