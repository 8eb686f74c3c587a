# Writes name.expect for each file named on the command line: what haven reads back, a "V" line (name,
# label) per variable and a "D" line per cell (labels for labelled values, ISO dates). Rscript expect.R file...
library(haven)
cell <- function(x) {
  if (is.labelled(x)) x <- as.character(as_factor(x, levels = "default"))
  else if (inherits(x, "Date")) x <- format(x, "%Y-%m-%d")
  else if (inherits(x, "POSIXct")) x <- format(x, "%Y-%m-%d %H:%M:%S", tz = "UTC")
  else if (is.character(x)) return(ifelse(is.na(x), "", x))
  else x <- format(x, digits = 15, scientific = FALSE, trim = TRUE)
  ifelse(is.na(x), "NA", x)
}
for (f in commandArgs(trailingOnly = TRUE)) {
  d <- switch(tolower(sub(".*[.]", "", f)), zsav = , sav = read_sav(f), por = read_por(f), dta = read_dta(f),
              xpt = read_xpt(f), sas7bdat = read_sas(f))
  lines <- unlist(lapply(names(d), function(v) {
    lab <- attr(d[[v]], "label", exact = TRUE)
    c(paste("V", v, ifelse(is.null(lab), "", lab), sep = "\t"), paste("D", v, cell(zap_missing(d[[v]])), sep = "\t"))
  }))
  con <- file(paste0(f, ".expect"), encoding = "UTF-8")
  writeLines(lines, con)
  close(con)
}
