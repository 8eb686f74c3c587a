#!/bin/sh
# Shapefiles and MapInfo files written by GDAL's ogr2ogr from WKT, and its own CSV reading of
# each shapefile (GEOMETRY=AS_XY for points) to check the attributes against.
set -e
cd "$(dirname "$0")"
cat > ogr_src.csv <<'CSV'
WKT,name,pop,area
"POINT (1 2)",Aberdeen,100,1.5
"POINT (-3.25 55.5)",Leith,2500,
"POINT (10 20)",,0,7.25
CSV
cat > ogr_poly.csv <<'CSV'
WKT,name
"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))",holed
"POLYGON ((20 20,20 21,21 21,20 20))",tri
CSV
cat > ogr_polyz.csv <<'CSV'
WKT,name
"POLYGON Z ((0 0 1,0 1 2,1 1 3,0 0 1))",zed
CSV
rm -f ogr_points.* ogr_holed.* ogr_polygonz.* ../mif/ogr_mif*
ogr2ogr -f "ESRI Shapefile" ogr_points.shp ogr_src.csv -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO -oo AUTODETECT_TYPE=YES
ogr2ogr -f "ESRI Shapefile" ogr_holed.shp ogr_poly.csv -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO
ogr2ogr -f "ESRI Shapefile" ogr_polygonz.shp ogr_polyz.csv -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO
ogr2ogr -f CSV ogr_points_expected.csv ogr_points.shp -lco GEOMETRY=AS_XY
ogr2ogr -f "MapInfo File" ../mif/ogr_mif.mif ogr_src.csv -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO -oo AUTODETECT_TYPE=YES
ogr2ogr -f "MapInfo File" ../mif/ogr_mif_poly.mif ogr_poly.csv -oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO
rm -f ogr_src.csv ogr_poly.csv ogr_polyz.csv *.cpg *.prj
