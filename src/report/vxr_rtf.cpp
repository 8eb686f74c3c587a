// The RTF table writer: a header row of column names in bold, then one table row per sheet
// row, with a thick outer border and thin inner lines, centred on the page.
#include "vxr_rtf.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "../sheet/byte_writer.h"
#include "vxs_table.h"

namespace {

// Fixed table style of this writer.
constexpr long RTF_TABLE_WIDTH = 8640;  // twips: 6 inches
constexpr int RTF_OUTER_LINE = 2;
constexpr int RTF_INNER_LINE = 1;
constexpr int RTF_ALIGNMENT = 0;  // left

const char* const lty[] = {"", "\\brdrs\\brdrw15\\brdcf1", "\\brdrs\\brdrw30\\brdcf1",
                           "\\brdrdb\\brdrw10\\brdcf1"};
const char* const cbp[] = {"\\clbrdrt", "\\clbrdrl", "\\clbrdrb", "\\clbrdrr"};

ByteWriter* rtf_out = nullptr;  // the file being written, if any

// Where text goes when no file is set.
ByteWriter& rtf_memory() {
    static ByteWriter memory;
    if (!memory.in_memory()) memory.to_memory();
    return memory;
}

}  // namespace

int rtf_add(const char* text) {
    ByteWriter& out = rtf_out ? *rtf_out : rtf_memory();
    out.bytes(std::string_view(text));
    return out.ok() ? 0 : 1;
}

std::string rtf_take_buffer() { return rtf_memory().take(); }

void rtf_write_header() { rtf_add("{\\rtf\\ansi\\deff\n"); }
void rtf_write_end() { rtf_add("}"); }
void rtf_write_row_end() { rtf_add("}\n\\pard\\widctlpar\\intbl\\adjustright {\\row }\n"); }

void rtf_write_cell(long right_edge, int header_row, int first_cell, int last_row, int last_cell,
                    int) {
    int side[4] = {RTF_INNER_LINE, RTF_INNER_LINE, RTF_INNER_LINE,
                   RTF_INNER_LINE};  // top, left, bottom, right
    if (header_row)
        side[0] = side[2] = RTF_OUTER_LINE;  // a repeated header row is closed below too
    if (first_cell) side[1] = RTF_OUTER_LINE;
    if (last_row) side[2] = RTF_OUTER_LINE;
    if (last_cell) side[3] = RTF_OUTER_LINE;
    if (first_cell) {
        rtf_add("\\trowd \\trgaph108\\trleft0\n");
        rtf_add("\\trqc ");
        if (header_row) rtf_add("\\trhdr ");
    }
    rtf_add("\\clvertalc");
    for (int k = 0; k < 4; ++k) {
        if (!*lty[side[k]]) continue;
        rtf_add(cbp[k]);
        rtf_add(lty[side[k]]);
    }
    char edge[32];
    std::snprintf(edge, sizeof edge, "%li\n", right_edge);
    rtf_add("\\cltxlrtb");
    rtf_add("\\cellx");
    rtf_add(edge);
    if (last_cell) {
        rtf_add("\\pard\\plain ");
        if (RTF_ALIGNMENT == 1) rtf_add("\\qc ");
        if (RTF_ALIGNMENT == 2) rtf_add("\\qr ");
        rtf_add("\\nowidctlpar\\intbl\\adjustright\n{");
    }
}

void rtf_special_chars(std::string& text) {
    if (text.find_first_of("\\{}") == std::string::npos) return;
    std::string out;
    out.reserve(text.size() + 8);
    for (char ch : text) {
        if (ch == '\\' || ch == '{' || ch == '}') out += '\\';
        out += ch;
    }
    text.swap(out);
}

void rtf_write_item(const char* text, int bold) {
    std::string t = text;
    rtf_special_chars(t);
    if (bold) rtf_add("\\b ");
    rtf_add(t.c_str());
    if (bold) rtf_add("\\b0");
    rtf_add("\\cell ");
}

int16_t write_sheet_as_rtf_table(Sheet* sheet, const char* path) {
    std::vector<const Column*> cols = vxs_table_columns_to_write(sheet);
    if (cols.empty()) return 0;
    ByteWriter file;
    if (!file.open(path)) {
        std::printf("Write Rich Text File - could not open file %.100s\n", path);
        return 0;
    }
    rtf_out = &file;

    std::vector<size_t> widths = vxs_table_widths(sheet, cols);
    long long total = 0;
    for (size_t w : widths) total += static_cast<long long>(w) + 2;
    std::vector<long> edges;
    long long running = 0;
    for (size_t w : widths) {
        running += static_cast<long long>(w) + 2;
        edges.push_back(static_cast<long>(running * RTF_TABLE_WIDTH / total));
    }

    const size_t n = cols.size();
    rtf_write_header();
    for (size_t i = 0; i < n; ++i) rtf_write_cell(edges[i], 1, i == 0, 0, i + 1 == n, 0);
    for (const Column* c : cols) rtf_write_item(c->name.c_str(), 1);
    rtf_write_row_end();

    const size_t nrows = static_cast<size_t>(sheet->row_count);
    std::vector<size_t> sym = vxs_table_sym_indexes(cols);
    for (size_t r = 0; r < nrows && file.ok(); ++r) {
        bool last_row = r + 1 == nrows;
        for (size_t i = 0; i < n; ++i) rtf_write_cell(edges[i], 0, i == 0, last_row, i + 1 == n, 0);
        for (size_t i = 0; i < n; ++i)
            rtf_write_item(vxs_table_cell_text(sheet, cols[i], r, sym[i]).c_str(), 0);
        rtf_write_row_end();
    }
    rtf_write_end();
    rtf_out = nullptr;
    return file.close() ? 1 : 0;
}
