# Reads each SPSS file back with R's foreign package into <file>.expect, one fact a line, tab-separated:
# V name label (variable label, "" when none); L name value label (numbers as %.17g, strings as stored);
# M name type values (user-missing as foreign reports it); D name row value (NA for system-missing).
library(foreign)
num <- function(x) ifelse(is.na(x), "NA", sprintf("%.17g", x))
for (f in commandArgs(TRUE)) {
  d <- read.spss(f, to.data.frame = FALSE, use.value.labels = FALSE, use.missings = FALSE, reencode = FALSE)
  out <- character()
  for (v in names(d)) {
    x <- d[[v]]; lab <- attr(d, "variable.labels")[v]; labs <- attr(x, "value.labels"); m <- attr(d, "missings")[[v]]
    out <- c(out, paste("V", v, if (!is.null(lab) && !is.na(lab)) lab else "", sep = "\t"),
             if (!is.null(labs)) paste("L", v, if (is.numeric(labs)) num(unname(labs)) else unname(labs), names(labs), sep = "\t"),
             if (!is.null(m) && m$type != "none") paste("M", v, m$type, paste(num(m$value), collapse = ","), sep = "\t"),
             paste("D", v, seq_along(x), if (is.numeric(x)) num(x) else x, sep = "\t"))
  }
  writeLines(out, paste0(sub("\\.sav$", "", f), ".expect"), useBytes = TRUE)
}
