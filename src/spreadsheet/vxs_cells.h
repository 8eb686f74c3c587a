// The cell store that spreadsheet readers fill (numbers and texts at row and column
// positions, with the extent actually used), the selection record that says which block of
// it to take and how, and the conversion of the store into the sheet.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "../sheet/vxs_sheet.h"

// Cell kinds.
enum : int32_t { VXS_CELL_EMPTY = 0, VXS_CELL_NUMBER = 1, VXS_CELL_TEXT = 2 };

// A named cell area of a workbook, or one worksheet.
struct VxsSheetEntry {
    std::string name;      // at most 60 characters, upper case
    int64_t position = 0;  // byte offset of the sheet's first record in the stream
    int32_t number = 0;    // index among all sheet entries of the workbook (charts counted)
};

struct VxsRangeEntry {
    std::string name;  // at most 60 characters, upper case
    int32_t sheet_number = 0;
    int32_t first_col = 0, first_row = 0, last_col = 0, last_row = 0;  // 0-based, inclusive
};

// A cell note: its text and the cell it belongs to (-1 while not yet known).
struct VxsComment {
    int32_t row = -1, col = -1;
    int32_t object_id = -1;
    std::string text;
};

struct VxsSelection {
    std::vector<VxsSheetEntry> sheets;
    std::vector<VxsRangeEntry> ranges;
    int32_t selected = 0;  // sheet index, or sheets + k for named range k
    int32_t first_col = 0, first_row = 0, last_col = 65535, last_row = 65535;
    int16_t logbook = 0;
    // How the block is laid out.
    int32_t name_row_offset = 0;   // row of the names, counted from the first data row
    int32_t title_row_offset = 1;  // row of the titles, counted from the first data row
    int32_t block_threshold = 1;   // rows a block needs before it counts (restart mode)
    int32_t names_mode = 0;        // 0 automatic, 1 first row holds names, 2 no names
    int16_t empty_row_mode = 0;    // rows without any cell are left out
    int16_t title_flag = 0;        // a row of titles is present
    int16_t auto_factor = 0;       // mostly-text columns become factors
    int16_t restart = 0;           // data restart after the first qualifying block
};

// Rectangular store of cells, column by column in chunks of rows: a chunk is made when a cell
// in it is first stored, so empty areas cost nothing, and a column can be given back once it
// is in the sheet. A cell is a kind byte and a value (the number, or the text's slot).
class VxsCellStore {
public:
    int64_t first_row = 0, last_row = -1, first_col = 0, last_col = -1;
    int64_t rows = 0, cols = 0;
    // Smallest and largest row and column that received a value; no value: first > last.
    int64_t used_first_row = INT32_MAX, used_first_col = INT32_MAX, used_last_row = -1, used_last_col = -1;
    std::vector<VxsComment> comments;
    // Date format code per store column (from the first), set by readers whose cells carry date
    // styles; 0 or absent: the column's numbers are plain numbers.
    std::vector<int32_t> date_formats;

    bool created() const { return rows > 0 && cols > 0; }
    // Makes the store for the inclusive bounds; false when the bounds are empty.
    bool create(int64_t first_row, int64_t last_row, int64_t first_col, int64_t last_col);
    // Makes a store from A1 whose last row and column follow the cells stored, for readers that
    // learn the extent only from the cells; cell_limit bounds that extent (rows times columns),
    // and a cell beyond it ends the run with status 9.
    void create_growing(uint64_t cell_limit);
    // Gives back the cells of a column.
    void release_column(int64_t col);
    bool inside(int64_t row, int64_t col) const {
        return row >= first_row && row <= last_row && col >= first_col && col <= last_col;
    }
    // Values outside the bounds are not stored; both return whether the value was stored.
    bool put_number(int64_t row, int64_t col, double value);
    bool put_text(int64_t row, int64_t col, std::string_view text);
    // The cell of from_row copied into to_row of the same column (a text shares its bytes).
    void copy_cell(int64_t from_row, int64_t col, int64_t to_row);

    // The first column from col to last whose cell in the row holds a value, or last + 1. A
    // column without a chunk at that row is passed at the cost of one lookup.
    int64_t next_used(int64_t row, int64_t col, int64_t last) const;

    int32_t kind(int64_t row, int64_t col) const {
        const Chunk* c = chunk(row, col);
        return c ? static_cast<int32_t>(c->kind[slot(row)]) : static_cast<int32_t>(VXS_CELL_EMPTY);
    }
    double number(int64_t row, int64_t col) const {
        const Chunk* c = chunk(row, col);
        return c && c->kind[slot(row)] == VXS_CELL_NUMBER ? c->value[slot(row)] : 0;
    }
    std::string_view text(int64_t row, int64_t col) const {
        const Chunk* c = chunk(row, col);
        if (!c || c->kind[slot(row)] != VXS_CELL_TEXT) return {};
        uint64_t t = texts_[static_cast<size_t>(c->value[slot(row)])];
        return std::string_view(arena_).substr(t >> 8, t & 0xFF);
    }

private:
    static constexpr int64_t kChunkRows = 16384;
    // One block: the values, then a kind byte each, for the chunk's first cap rows; it starts
    // small and doubles as rows fill, up to the store's last row.
    struct Chunk {
        std::unique_ptr<double[]> value;
        uint8_t* kind = nullptr;
        size_t cap = 0;
    };
    const Chunk* chunk(int64_t row, int64_t col) const {
        if (!inside(row, col)) return nullptr;
        const std::vector<std::unique_ptr<Chunk>>& column = columns_[static_cast<size_t>(col - first_col)];
        size_t k = static_cast<size_t>((row - first_row) / kChunkRows);
        const Chunk* c = k < column.size() ? column[k].get() : nullptr;
        return c && slot(row) < c->cap ? c : nullptr;
    }
    size_t slot(int64_t row) const { return static_cast<size_t>((row - first_row) % kChunkRows); }
    // The chunk that holds the cell, made if need be; null outside the bounds.
    Chunk* chunk_for(int64_t row, int64_t col);
    void used(int64_t row, int64_t col);
    std::vector<std::vector<std::unique_ptr<Chunk>>> columns_;
    uint64_t growing_limit_ = 0;  // non-zero: the bounds follow the cells
    std::vector<uint64_t> texts_;  // offset << 8 | length into arena_
    std::string arena_;
};

// Column letters of a 0-based column number: A..Z, then AA, AB, ...
std::string vxs_column_letters(int64_t col);

// The steps from a cell store to a sheet, for every spreadsheet reader. The layout of the block
// taken: its bounds, the rows holding names, titles and types (negative when none), and the
// rows that become data.
struct VxsStoreLayout {
    int64_t fc = 0, fr = 0, lc = 0, lr = 0;
    int64_t name_row = -1, title_row = -2, type_row = -3;
    bool names = false;       // the name row holds the column names
    bool empty_mode = false;  // rows with nothing in the block are left out
    std::vector<int64_t> data_rows;
};
// What one column of the block becomes: its name and description, a level order from a cell
// comment, text or numbers, a factor or not, and a display format from the name's suffix.
struct VxsColumnPlan {
    std::string name;
    std::string description;
    std::string list;
    bool has_description = false;
    bool text = false;
    bool factor = false;
    int32_t format = 0;  // 2 exponent, 3 fixed decimals, 5 date
    int32_t decimals = -1;
};
// The "Labels in numeric column" warning gathered over the columns.
struct VxsLabelsWarning {
    std::string text;
    bool cut = false;
};
// 1. Bounds of the block from the selection and the used cells (the logbook layout finds its
// header rows here); false when nothing is left.
bool vxs_store_bounds(VxsSelection* selection, const VxsCellStore& store, VxsStoreLayout& layout);
// 2. The name and title rows, under the options and the selection's empty-row rules.
bool vxs_store_header_rows(const VxsSelection* selection, const VxsCellStore& store, VxsStoreLayout& layout);
// 3. The data rows; false when there are none.
bool vxs_store_rows(const VxsSelection* selection, const VxsCellStore& store, VxsStoreLayout& layout);
// 4. The plan of column c, given its count of values, of texts, and whether a text is data.
VxsColumnPlan vxs_store_column_plan(const VxsSelection* selection, const VxsCellStore& store,
                                    const VxsStoreLayout& layout, int64_t c, int64_t values, int64_t texts,
                                    bool is_text);
// 5. Fills the made column (the made-th of the sheet) from column c of the store.
void vxs_store_fill_column(Column* column, const VxsColumnPlan& plan, const VxsCellStore& store,
                           const VxsStoreLayout& layout, int64_t c, int32_t made, VxsLabelsWarning& warning);

// Turns the store's selected block into the sheet (lastsheet); 1 when a sheet with data was
// made. path and sheet_name go into the "Data read from" line, which is printed and left in
// vxs_source (package/vxs_package.h); source_code is the file type of the reader (5 Excel;
// 2, 8, 34 Lotus and Quattro pages).
// Columns are given back from the store as they go into the sheet, except in the logbook layout.
int vxs_create_sheet_from_store(VxsSelection* selection, const char* path, const char* sheet_name,
                                VxsCellStore& store, int32_t source_code);
