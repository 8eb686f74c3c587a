# Stata files of releases 108 and 110 written by R's foreign package: logical (byte), integer
# (long), double and string variables, a factor with its value label table, variable labels,
# the data label and a date.
library(foreign)
d <- data.frame(
  flag = c(TRUE, FALSE, NA, TRUE, FALSE),
  count = c(1L, -2147483647L, NA, 100000L, 0L),
  amount = c(1.5, -2.25, NA, 1e100, 3e-10),
  colour = factor(c("red", "green", "red", NA, "blue")),
  name = c("Anna", "Ben Zedd", " ", "x", "a very long name of twenty-nine"),
  born = as.Date(c("2000-03-15", "1960-01-01", NA, "1899-12-31", "2024-02-29")),
  stringsAsFactors = FALSE)
attr(d, "var.labels") <- c("Flag set", "Count of items", "Amount paid", "Favourite colour",
                           "Given name", "Date of birth")
attr(d, "datalabel") <- "Test data from R foreign"
write.dta(d, "foreign_v6.dta", version = 6L)
write.dta(d, "foreign_v7.dta", version = 7L)
