# Reads each Stata file back with R's foreign package into <file>.expect, one fact a line, tab-separated:
# T label (the data label); V name type label (storage type as foreign reports it); N name table (the value
# label table named, "" when none); L table value label; D name row value (NA for missing; numbers as %.17g).
library(foreign)
num <- function(x) ifelse(is.na(x), "NA", sprintf("%.17g", x))
for (f in commandArgs(TRUE)) {
  d <- read.dta(f, convert.dates = FALSE, convert.factors = FALSE, missing.type = FALSE)
  out <- paste("T", attr(d, "datalabel"), sep = "\t")
  for (i in seq_along(d))
    out <- c(out, paste("V", names(d)[i], attr(d, "types")[i], attr(d, "var.labels")[i], sep = "\t"),
             paste("N", names(d)[i], attr(d, "val.labels")[i], sep = "\t"))
  tabs <- attr(d, "label.table")
  for (t in names(tabs)) out <- c(out, paste("L", t, num(unname(tabs[[t]])), names(tabs[[t]]), sep = "\t"))
  for (v in names(d)) out <- c(out, paste("D", v, seq_along(d[[v]]), if (is.numeric(d[[v]])) num(d[[v]]) else d[[v]], sep = "\t"))
  writeLines(out, paste0(sub("\\.dta$", "", f), ".expect"), useBytes = TRUE)
}
