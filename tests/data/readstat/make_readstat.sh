#!/bin/sh
# Makes SAS7BDAT and portable files with readstat's command-line tool from the haven files, and
# the expectation files of every test file here (what haven reads back; see expect.R).
# Run from this directory after make_haven.R, make_pandas.py and make_pspp.sps.
set -e
rm -f readstat.sas7bdat readstat.por
readstat haven.zsav readstat.sas7bdat
# Portable names are upper case: the pspp file renamed is the source of the portable file.
Rscript -e 'library(haven); d <- read_sav("pspp.zsav"); names(d) <- toupper(names(d)); write_sav(d, "/tmp/pspp_upper.sav")'
readstat /tmp/pspp_upper.sav readstat.por
Rscript expect.R *.zsav *.dta *.xpt *.sas7bdat *.por
