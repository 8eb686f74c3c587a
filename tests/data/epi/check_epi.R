# What R's foreign reads from the generated files: written beside them as .expect.
library(foreign)
d <- read.epiinfo("types.rec")
write.table(d, "types.expect", sep = "\t", quote = FALSE, row.names = FALSE)
