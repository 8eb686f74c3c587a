// Zip members read as XML with expat, as the xlsx and ods readers need them: streamed in blocks
// so a large sheet never sits in memory as text, with element and attribute names stripped of
// their namespace prefixes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "../sheet/vxs_source.h"
#include "vxs_cells.h"

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



// Cells of one sheet of an XML workbook as read, straight into a store whose extent follows the
// cells actually present, so a sheet that declares a huge extent costs nothing.
class CellList {
public:
    // Date style of a number: none, date, date and time, time of day.
    enum Style : uint8_t { Plain = 0, Date = 1, DateTime = 2, Time = 3 };
    // Only cells inside these bounds are kept (0-based, inclusive).
    int64_t max_row = 1048575, max_col = 16383, min_row = 0, min_col = 0;

    CellList();
    void number(int64_t row, int64_t col, double value, Style style);
    // text in UTF-8: converted to the sheet's code page, cut to 90 characters, blanks
    // stripped as the option asks; an empty text is no cell.
    void text(int64_t row, int64_t col, std::string_view utf8);
    size_t size() const { return count_; }
    // Copies the cells of the latest row into row to (repeated rows of ods), from index first
    // on; first is a size() taken when that row began.
    void repeat_row(size_t first, int64_t to);

    // Makes the sheet by the rules of the Excel reader: 1 with a sheet made (or no cell at all:
    // no sheet), 0 on failure. Too large an extent or too many cells end the run with status 9.
    int to_sheet(VxsSelection* selection, const char* path, const char* sheet_name);

private:
    enum : uint8_t { kText = 0xFF };  // style slot of a text cell
    void added(int64_t row, int64_t col, uint8_t style);
    // Counts a cell against the ceiling, and a number's date style for its column.
    void count(int64_t col, uint8_t style);
    bool keep(int64_t row, int64_t col) const {
        return row >= min_row && row <= max_row && col >= min_col && col <= max_col;
    }
    VxsCellStore store_;
    size_t count_ = 0;
    // The cells of the latest row as added (column and style), for repeat_row.
    std::vector<std::pair<int64_t, uint8_t>> recent_;
    int64_t recent_row_ = -1;
    size_t recent_first_ = 0;
    // Numbers per column with a date style and without one, and the first date style seen: a
    // column is a date column when every number in it carries a date style.
    std::vector<int32_t> dated_, plain_;
    std::vector<uint8_t> style_;
    std::string scratch_;
};
