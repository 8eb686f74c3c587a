#!/bin/sh
# Shapefiles and MapInfo files written by GDAL's ogr2ogr from WKT, and its own CSV reading of
# each shapefile (GEOMETRY=AS_XY for points) to check the attributes against.
set -e
cd "$(dirname "$0")"
printf '%s\n' 'WKT,name,pop,area' '"POINT (1 2)",Aberdeen,100,1.5' '"POINT (-3.25 55.5)",Leith,2500,' \
  '"POINT (10 20)",,0,7.25' > ogr_src.csv
printf '%s\n' 'WKT,name' '"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))",holed' \
  '"POLYGON ((20 20,20 21,21 21,20 20))",tri' > ogr_poly.csv
printf '%s\n' 'WKT,name' '"POLYGON Z ((0 0 1,0 1 2,1 1 3,0 0 1))",zed' > ogr_polyz.csv
rm -f ogr_points.* ogr_holed.* ogr_polygonz.* ../mif/ogr_mif*
WKT="-oo GEOM_POSSIBLE_NAMES=WKT -oo KEEP_GEOM_COLUMNS=NO"
ogr2ogr -f "ESRI Shapefile" ogr_points.shp ogr_src.csv $WKT -oo AUTODETECT_TYPE=YES
ogr2ogr -f "ESRI Shapefile" ogr_holed.shp ogr_poly.csv $WKT
ogr2ogr -f "ESRI Shapefile" ogr_polygonz.shp ogr_polyz.csv $WKT
ogr2ogr -f CSV ogr_points_expected.csv ogr_points.shp -lco GEOMETRY=AS_XY
ogr2ogr -f "MapInfo File" ../mif/ogr_mif.mif ogr_src.csv $WKT -oo AUTODETECT_TYPE=YES
ogr2ogr -f "MapInfo File" ../mif/ogr_mif_poly.mif ogr_poly.csv $WKT
rm -f ogr_src.csv ogr_poly.csv ogr_polyz.csv *.cpg *.prj
