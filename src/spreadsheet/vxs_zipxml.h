// Zip members read as XML with expat, as the xlsx and ods readers need them: streamed in blocks
// so a large sheet never sits in memory as text, with element and attribute names stripped of
// their namespace prefixes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../sheet/vxs_source.h"

struct zip;

class XmlHandler {
public:
    virtual ~XmlHandler() = default;
    // attrs: name, value pairs ending with a null name, as expat hands them over.
    virtual void start(std::string_view name, const char** attrs) = 0;
    virtual void end(std::string_view name) = 0;
    virtual void text(std::string_view) {}
    // Set to stop the parse early (a handler that has what it wants).
    bool stop = false;
};

// The value of an attribute (prefix ignored), or null.
const char* xml_attr(const char** attrs, std::string_view name);
std::string_view xml_local(const char* name);

class ZipArchive {
public:
    ZipArchive() = default;
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;
    bool open(const char* path);
    // A file source opens by its path; memory is read in place (it must outlive the archive).
    bool open(VxsSource& src);
    bool has(const std::string& member) const;
    // Parses the member; false when it is missing, damaged or not well-formed XML.
    bool parse(const std::string& member, XmlHandler& handler) const;

private:
    struct zip* zip_ = nullptr;
};

// Serial day number (1900 spreadsheet scale) of a proleptic Gregorian date, with the serial 60
// that stands for 29 February 1900 left out before March 1900.
double vxs_serial_of_date(long year, long month, long day);

struct VxsSelection;

// Cells of one sheet of an XML workbook as read, before the store exists: the store is sized
// from the cells actually present, so a sheet that declares a huge extent costs nothing.
class CellList {
public:
    enum Kind : uint8_t { Number, Text };
    // Date style of a number: none, date, date and time, time of day.
    enum Style : uint8_t { Plain = 0, Date = 1, DateTime = 2, Time = 3 };
    // Only cells inside these bounds are kept (0-based, inclusive).
    int64_t max_row = 1048575, max_col = 16383, min_row = 0, min_col = 0;

    void number(int64_t row, int64_t col, double value, Style style);
    // text in UTF-8: converted to the sheet's code page, cut to 90 characters, blanks
    // stripped as the option asks; an empty text is no cell.
    void text(int64_t row, int64_t col, std::string_view utf8);
    size_t size() const { return count_; }
    // Copies the cells of row from into row to (repeated rows of ods), from index first on.
    void repeat_row(size_t first, int64_t to);

    // Makes the store and the sheet by the rules of the Excel reader: 1 with a sheet made (or
    // no cell at all: no sheet), 0 on failure. Too large a store ends the run with status 9.
    // The cells are given back once in the store, before the sheet is made.
    int to_sheet(VxsSelection* selection, const char* path, const char* sheet_name);

private:
    // 16 bytes a cell: columns stop at 16384 and texts at 90 bytes once in the code page.
    struct Cell {
        int32_t row;
        uint16_t col;
        uint8_t kind_style;  // kind in the low bit, style above it
        uint8_t text_len;
        double value;  // number, or text offset into arena_
    };
    void add(const Cell& c);
    const Cell& at(size_t i) const { return blocks_[i / kBlockCells][i % kBlockCells]; }
    bool keep(int64_t row, int64_t col) const {
        return row >= min_row && row <= max_row && col >= min_col && col <= max_col;
    }
    // Cells in blocks of a megabyte: no doubling copies while gathering, and each block is
    // given back as soon as the store holds its cells.
    static constexpr size_t kBlockCells = size_t(1) << 16;
    std::vector<std::vector<Cell>> blocks_;
    size_t count_ = 0;
    std::string arena_;
    std::string scratch_;
};
