# Makes the haven-written transport files of this directory and, for each, the values that
# haven reads back from it (*.expected.csv: one row per observation, numbers as SAS holds them
# with 17 significant digits, dates as days and date-times and times as seconds since 1960,
# "NA" for a system missing value and "NA(x)" for the special missing value .X).
# Run from this directory: Rscript make_haven.R
library(haven)

expect <- function(file) {
  x <- read_xpt(file)
  cell <- function(v) {
    if (inherits(v, "Date")) v <- as.numeric(v) + 3653
    else if (inherits(v, "POSIXct")) v <- as.numeric(v) + 315619200
    else if (inherits(v, "hms")) v <- as.numeric(v)
    if (!is.numeric(v)) return(v)
    ifelse(is.na(v), ifelse(is.na(na_tag(v)), "NA", paste0("NA(", na_tag(v), ")")), sprintf("%.17g", v))
  }
  write.csv(as.data.frame(lapply(x, cell), stringsAsFactors = FALSE), sub("\\.xpt$", ".expected.csv", file), row.names = FALSE)
  attribute <- function(a) vapply(x, function(v) if (is.null(attr(v, a))) "" else attr(v, a), "")
  write.csv(data.frame(name = names(x), label = attribute("label"), format = attribute("format.sas")),
            sub("\\.xpt$", ".labels.csv", file), row.names = FALSE)
}

# Every kind of column: numbers with a label and a fixed-decimals format, text with a label,
# dates, date-times and times, missing values, extreme magnitudes.
df <- data.frame(
  id = c(1, 2, 3, 4, 5, 6),
  height = c(1.5, NA, -2.25, 1e10, 0.001, 123456789.125),
  price = c(0, 19.99, -0.5, NA, 1234.5, 7),
  name = c("Anna", "Bo", "", "Dee Dee", "Ed", "Flo-Jo"),
  born = as.Date(c("1960-01-01", "1999-12-31", NA, "1900-03-01", "2024-02-29", "1959-12-31")),
  stamp = as.POSIXct(c("2020-05-17 13:45:30", NA, "1960-01-01 00:00:00", "1970-01-01 00:00:01",
                       "2000-02-29 23:59:59", "1959-12-31 12:00:00"), tz = "UTC"),
  tiny = c(1e-70, -1e-70, 5.4e-79, 7e75, -7e75, 2^-200),
  stringsAsFactors = FALSE)
df$clock <- hms::as_hms(c(0, 3600, 45296, NA, 86399, 60))
attr(df$height, "label") <- "Height in metres"
attr(df$name, "label") <- "First name"
attr(df$born, "label") <- "Date of birth"
attr(df$price, "format.sas") <- "F8.2"
write_xpt(df, "values_labels_dates.xpt", version = 5, name = "VALUES")
expect("values_labels_dates.xpt")

# System missing and the special missing values .A to .Z and ._ in one numeric column.
tags <- c(LETTERS, "_")
sm <- data.frame(code = seq_along(tags) + 0)
sm$value <- tagged_na(tags)
sm$value[1] <- 42
sm$value[2] <- NA
write_xpt(sm, "sas_missing_codes.xpt", version = 5, name = "SPECIAL")
expect("sas_missing_codes.xpt")

# A character variable of 100 bytes next to a short one.
lt <- data.frame(
  long = c(strrep("abcdefghij", 10), "short", paste0(strrep("x", 95), "12345")),
  k = c("a", "b", "c"), stringsAsFactors = FALSE)
write_xpt(lt, "text_100_chars.xpt", version = 5, name = "LONGTEXT")
expect("text_100_chars.xpt")

# Text only, one byte a row: the blank padding of the last record must not become rows.
cp <- data.frame(c = c("x", "y", "z"), stringsAsFactors = FALSE)
write_xpt(cp, "char_only_padding.xpt", version = 5, name = "CHARPAD")
expect("char_only_padding.xpt")
