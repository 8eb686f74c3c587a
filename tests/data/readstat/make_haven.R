# Makes the haven test files: zsav, Stata 113-119, XPORT 8, SAS7BDAT.
# Run from this directory: Rscript make_haven.R
library(haven)

long <- strrep("abcdefghij", 10)  # 100 characters: cut to 90 on reading
df <- data.frame(
  id = c(1, 2, 3, 4, 5),
  score = c(1.5, NA, 99, -2.25, 1e10),
  name = c("Zurich", "Z\u00fcrich", long, "", "\u5317\u4eac"),
  when = as.Date(c("2020-02-29", "1960-01-01", NA, "1899-12-31", "2024-07-14")),
  stringsAsFactors = FALSE)
df$group <- labelled(c(1, 2, 3, 1, NA), c(low = 1, high = 2))
attr(df$score, "label") <- "Score of the day"
attr(df$group, "label") <- "Group"

# SPSS compressed: 99 is a user-missing score.
sav <- df
sav$score <- labelled_spss(df$score, na_values = 99, label = "Score of the day")
write_sav(sav, "haven.zsav", compress = "zsav")

for (v in c(8, 10, 12, 13, 14, 15)) {
  f <- sprintf("haven_v%d.dta", v)
  d <- df
  if (v < 14) d$name <- iconv(d$name, "UTF-8", "latin1", sub = "_")
  if (v < 14) d$name[5] <- "__"
  if (v >= 14) d$score[2] <- tagged_na("a")  # Stata .a
  write_dta(d, f, version = v)
}

x <- df
x$name <- ifelse(x$name == "\u5317\u4eac", "__", x$name)
x$name <- iconv(x$name, "UTF-8", "latin1", sub = "_")
write_xpt(x, "haven_v8.xpt", version = 8)
write_sas(x, "haven.sas7bdat")

