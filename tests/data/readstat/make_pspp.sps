* Makes pspp.zsav (SAVE /ZCOMPRESSED): numbers with a user-missing
* value and a range, strings with value labels, dates, times, date-times, variable labels.
* Run from this directory: pspp make_pspp.sps
DATA LIST LIST /id (F4.0) score (F8.2) city (A12) born (DATE11) clock (TIME8) stamp (DATETIME20) grp (F2.0).
BEGIN DATA
1 1.5 Bern 29-FEB-2020 12:30:00 "01-JAN-1960 06:00:00" 1
2 99 Basel 01-JAN-1960 00:00:01 "31-DEC-1999 23:59:59" 2
3 -2.25 Chur 15-OCT-1582 23:59:59 "14-JUL-2024 12:00:00" 9
4 -9 " " 31-DEC-1899 01:00:00 "01-MAR-1900 00:00:00" 1
END DATA.
VARIABLE LABELS score 'Score of the day' grp 'Group'.
MISSING VALUES score (99, -9).
VALUE LABELS grp 1 'low' 2 'high' /city 'Bern' 'capital'.
SAVE OUTFILE='pspp.zsav' /ZCOMPRESSED.
* libreadstat 1.1.8 refuses pspp's portable files, so the .por test files come from readstat.
