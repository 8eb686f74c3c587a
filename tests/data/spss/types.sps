* Every kind of variable the SPSS reader maps: numbers with decimals, dates in eight formats,
* short and long strings, variable labels, value labels, three kinds of user-missing values.
DATA LIST LIST /id (F4.0) score (F8.2) grade (F3.0) temp (F6.1) code (F5.0)
  born (DATE11) ts (DATETIME20) dur (TIME8) ad (ADATE10) ed (EDATE10) sd (SDATE10)
  jd (JDATE7) dt (DTIME13) sex (A1) name (A8) city (A20).
BEGIN DATA
1 12.25 1 36.6 5 15-MAR-2000 "15-MAR-2000 13:45:30" 01:30:00 03/15/2000 15.03.2000 2000/03/15 2000075 "1 02:03:04" M Anna "Bad Tölz"
2 -99 2 -5.0 999 01-JAN-1970 "01-JAN-1970 00:00:00" 00:00:01 01/01/1970 01.01.1970 1970/01/01 1970001 "0 00:00:00" F Ben "Saint-Rémy-de-Provence"
3 7.5 3 1000.5 -3 29-FEB-1996 "29-FEB-1996 23:59:59" 23:59:59 02/29/1996 29.02.1996 1996/02/29 1996060 "10 10:10:10" M "Clara Zed" Oslo
4 . 1 . . . . . . . . . . F "" ""
5 -98 9 995.0 42 31-DEC-1899 "31-DEC-1899 12:00:00" 12:00:00 12/31/1899 31.12.1899 1899/12/31 1899365 "2 00:00:00" X "  lead" "x"
6 1e10 2 -0.25 0 15-OCT-1582 "15-OCT-1582 00:00:00" 00:00:00 10/15/1582 15.10.1582 1582/10/15 1582288 "0 00:00:01" M A Berlin
END DATA.
VARIABLE LABELS id 'Identifier' score 'Test score out of 100'
  grade 'School grade' temp 'A label that is much longer than forty characters, to be cut'
  born 'Date of birth' sex 'Sex of the pupil' city 'Home town'.
VALUE LABELS grade 1 'Good' 2 'Fair' 3 'Poor'
  /sex 'M' 'Male' 'F' 'Female'
  /name 'A' 'Only A'.
MISSING VALUES score (-99, -98) temp (990 THRU 999) code (LO THRU -1, 999).
SAVE OUTFILE='types_comp.sav' /COMPRESSED.
SAVE OUTFILE='types_unc.sav' /UNCOMPRESSED.
