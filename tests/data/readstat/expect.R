# Writes name.expect for each file named on the command line: what haven reads back, a "V" line
# (name, label) per variable and a "D" line per cell (labels for labelled values, ISO dates).
# Rscript expect.R file...
library(haven)

cell <- function(x) {
  if (is.labelled(x)) {
    f <- as.character(as_factor(x, levels = "default"))
    return(ifelse(is.na(f), "NA", f))
  }
  if (inherits(x, "Date")) return(ifelse(is.na(x), "NA", format(x, "%Y-%m-%d")))
  if (inherits(x, "POSIXct")) return(ifelse(is.na(x), "NA", format(x, "%Y-%m-%d %H:%M:%S", tz = "UTC")))
  if (is.character(x)) return(ifelse(is.na(x), "", x))
  ifelse(is.na(x), "NA", format(x, digits = 15, scientific = FALSE, trim = TRUE))
}

expect <- function(file, d) {
  lines <- c()
  for (v in names(d)) {
    lab <- attr(d[[v]], "label", exact = TRUE)
    lines <- c(lines, paste("V", v, ifelse(is.null(lab), "", lab), sep = "\t"))
    lines <- c(lines, paste("D", v, cell(zap_missing(d[[v]])), sep = "\t"))
  }
  con <- file(paste0(file, ".expect"), encoding = "UTF-8")
  writeLines(lines, con)
  close(con)
}


for (f in commandArgs(trailingOnly = TRUE)) {
  ext <- tolower(sub(".*[.]", "", f))
  d <- switch(ext, zsav = , sav = read_sav(f), por = read_por(f), dta = read_dta(f),
              xpt = read_xpt(f), sas7bdat = read_sas(f))
  expect(f, d)
}
