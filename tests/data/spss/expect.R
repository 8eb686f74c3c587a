# Reads each SPSS file back with R's foreign package and writes what it holds to
# <file>.expect, one fact a line, tab-separated:
#   V name label          variable label ("" when none)
#   L name value label    value label (numbers as %.17g, strings as stored)
#   M name type values    user-missing declaration as foreign reports it
#   D name row value      a cell (NA for system-missing; strings as stored, blank padded)
library(foreign)
num <- function(x) ifelse(is.na(x), "NA", sprintf("%.17g", x))
for (f in commandArgs(TRUE)) {
  d <- read.spss(f, to.data.frame = FALSE, use.value.labels = FALSE, use.missings = FALSE,
                 reencode = FALSE)
  vl <- attr(d, "variable.labels")
  ms <- attr(d, "missings")
  out <- character()
  for (v in names(d)) {
    x <- d[[v]]
    lab <- if (!is.null(vl[v]) && !is.na(vl[v])) vl[[v]] else ""
    out <- c(out, paste("V", v, lab, sep = "\t"))
    labs <- attr(x, "value.labels")
    if (!is.null(labs)) {
      vals <- if (is.numeric(labs)) num(unname(labs)) else unname(labs)
      out <- c(out, paste("L", v, vals, names(labs), sep = "\t"))
    }
    m <- ms[[v]]
    if (!is.null(m) && m$type != "none")
      out <- c(out, paste("M", v, m$type, paste(num(m$value), collapse = ","), sep = "\t"))
    cells <- if (is.numeric(x)) num(x) else x
    out <- c(out, paste("D", v, seq_along(cells), cells, sep = "\t"))
  }
  writeLines(out, paste0(sub("\\.sav$", "", f), ".expect"), useBytes = TRUE)
}
