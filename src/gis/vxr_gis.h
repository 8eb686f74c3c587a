// ESRI shapefiles (.shp with its .dbf attribute table) read as one row per point.
#pragma once

#include <cstdint>
#include <string>

#include "../sheet/byte_reader.h"
#include "../sheet/vxs_source.h"

constexpr uint32_t SHP_FILE_CODE = 9994;
constexpr size_t SHP_HEADER = 100;
constexpr size_t SHP_RECORD_HEADER = 8;

// Decodes a shapefile held in memory; table is the attribute table's source (null when there
// is none), read a block at a time; name is for messages. Returns 1 when the sheet was made.
int16_t vxs_decode_shape(ByteReader& shp, VxsSource* table, const char* name);
// The shapefile of a source with the table beside it; the path form opens the file.
int16_t read_gis_shape_source(VxsSource& src);
int16_t read_gis_shape_file(const char* path);
