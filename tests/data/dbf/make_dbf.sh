#!/bin/sh
# Tables written by independent tools (gdal-bin's ogr2ogr and python3-dbf); run from this
# directory. The hand-built cases come from make_dbf.py.
set -e
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# ogr2ogr: C, N (integer and real) and D fields from a typed CSV, with today's date.
today=$(date +%Y-%m-%d)
cat > "$tmp/ogr_kinds.csv" <<CSV
name,count,price,born
apple,12,1.25,2001-02-03
"pear, green",-7,0.005,$today
,0,,1999-12-31
plum,123456789,-98765.4321,
CSV
rm -f ogr_kinds.dbf
ogr2ogr -f "ESRI Shapefile" -oo AUTODETECT_TYPE=YES ogr_kinds.dbf "$tmp/ogr_kinds.csv"
rm -f ogr_kinds.shp ogr_kinds.shx ogr_kinds.prj ogr_kinds.cpg

# python3-dbf: a memo in third place, logicals, F fields, a deleted record; and a FoxPro table.
/usr/bin/python3 - <<'PY'
import datetime, dbf
t = dbf.Table("pydbf_memo.dbf", "name C(10); qty N(5,0); notes M; ok L; price N(8,2); ratio F(10,4); seen D",
              dbf_type="db3")
t.open(dbf.READ_WRITE)
t.append(("bolt", 10, "long memo text", True, 1.25, 0.5, datetime.date(2020, 2, 29)))
t.append(("nut", -2, "", False, 0.0, -1.125, None))
t.append(("washer", None, "gone", None, 3.5, 2.0, datetime.date.today()))
t.append(("screw", 7, "x", True, 99.99, None, datetime.date(1999, 1, 1)))
dbf.delete(t[2])
t.close()
t = dbf.Table("pydbf_foxpro.dbf", "code C(6); amount N(10,3); flag L; when D; rate F(12,5)", dbf_type="vfp")
t.open(dbf.READ_WRITE)
t.append(("A1", 1.5, True, datetime.date(2026, 12, 7), 3.14159))
t.append(("B2", -0.125, False, None, None))
t.close()
PY
# The memo file stays beside its table: other readers open the pair.
