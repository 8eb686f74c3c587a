# A file written by haven (ReadStat underneath): labelled numbers with user-missing codes,
# labelled strings, dates, and both compressions.
library(haven)
d <- data.frame(
  rating = labelled_spss(c(1, 2, 9, 2, NA, 1), c(Low = 1, High = 2, Refused = 9),
                         na_values = 9, label = "Rating given"),
  weight = c(61.5, 72.25, NA, 1e-3, 88, 1e300),
  group = labelled(c("a", "b", "a", "c", "", "b"), c(Alpha = "a", Beta = "b")),
  day = as.Date(c("2001-02-03", "1960-01-01", NA, "2024-12-31", "1999-06-30", "1900-01-01")),
  stringsAsFactors = FALSE)
write_sav(d, "haven_byte.sav", compress = "byte")
write_sav(d, "haven_none.sav", compress = "none")
