// The HTML table writer: the twin of the RTF table writer (same cell texts, same header row in
// bold, same centred bordered table), as a page of its own.
#include "vxr_html.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_options.h"
#include "vxs_table.h"

namespace {

constexpr long HTML_TABLE_WIDTH = 8640;  // the RTF table's twips; divided by 12 for pixels
constexpr bool HTML_CENTRED = true;
constexpr bool HTML_OUTER_BORDER = true;
constexpr int HTML_ALIGNMENT = 0;

ByteWriter* html_out = nullptr;  // the file being written, if any

// Where text goes when no file is set.
ByteWriter& html_memory() {
    static ByteWriter memory;
    if (!memory.in_memory()) memory.to_memory();
    return memory;
}

}  // namespace

int html_add(const char* text) {
    ByteWriter& out = html_out ? *html_out : html_memory();
    out.bytes(std::string_view(text));
    return out.ok() ? 0 : 1;
}

std::string html_take_buffer() { return html_memory().take(); }

void html_write_header(const char* title) {
    html_add("<HTML>\n<HEAD>\n");
    html_add("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">\n");
    html_add("<META NAME=\"Generator\" CONTENT=\"Vantrix for Windows\">\n<TITLE>");
    html_add(title && *title ? title : "Vantrix Table");
    html_add(" </TITLE>\n</HEAD>\n<BODY>\n");
}

void html_write_end() { html_add("</BODY>\n</HTML>\n"); }

void html_write_item(const char* text, double percent, int bold, int first_row, int first_cell,
                     int last_row, int last_cell, int) {
    char buf[64];
    if (first_row && first_cell) {
        if (HTML_CENTRED) {
            html_add("<P ALIGN=\"CENTER\">");
            html_add("<CENTER>");
        }
        html_add("<TABLE ");
        if (HTML_OUTER_BORDER) html_add("BORDER ");
        std::snprintf(buf, sizeof buf, "CELLSPACING=2 CELLPADDING=9 WIDTH=%li>\n",
                      HTML_TABLE_WIDTH / 12);
        html_add(buf);
    }
    if (first_cell) html_add("<TR>");
    std::snprintf(buf, sizeof buf, "<TD WIDTH=\"%.1f%%\" VALIGN=\"MIDDLE\">\n", percent);
    html_add(buf);
    if (bold) html_add("<B>");
    html_add(HTML_ALIGNMENT == 1   ? "<P ALIGN=\"CENTER\">"
             : HTML_ALIGNMENT == 2 ? "<P ALIGN=\"RIGHT\">"
                                   : "<P>");
    html_add(text);  // written as it is: cells may hold markup on purpose
    html_add(bold ? " </B></TD>\n" : " </TD>\n");
    if (last_cell) {
        html_add("</TR>\n");
        if (last_row) {
            html_add("</TABLE>\n");
            if (HTML_CENTRED) html_add("</CENTER>");
            html_add("</P>\n\n<FONT SIZE=2></FONT>\n");
        }
    }
}

int16_t write_sheet_as_html_table(Sheet* sheet, const char* path) {
    std::vector<const Column*> cols = vxs_table_columns_to_write(sheet);
    if (cols.empty()) return 0;
    ByteWriter file;
    if (!file.open(path)) {
        std::printf("Write Rich Text File - could not open file %.100s\n", path);
        return 0;
    }
    html_out = &file;

    std::vector<size_t> widths = vxs_table_widths(sheet, cols);
    long long total = 0;
    for (size_t w : widths) total += static_cast<long long>(w) + 2;
    const size_t n = cols.size();
    std::vector<double> percent(n);
    double used = 0;
    for (size_t i = 0; i + 1 < n; ++i) {
        long tenths = static_cast<long>((static_cast<long long>(widths[i]) + 2) * 1000 / total);
        percent[i] = std::max(tenths / 10.0, 0.5);
        used += percent[i];
    }
    percent[n - 1] = 100.0 - used;

    // The title: the description's first line, else the name the user gave the output.
    std::string title;
    if (!sheet->description_lines.empty() && !sheet->description_lines[0].empty())
        title = sheet->description_lines[0];
    else if (!sheet->description.empty())
        title = sheet->description.substr(0, sheet->description.find('\0'));
    if (title.empty())
        title = vxs_options().output_name.empty() ? std::string(path) : vxs_options().output_name;
    html_write_header(title.c_str());

    for (size_t i = 0; i < n; ++i)
        html_write_item(cols[i]->name.c_str(), percent[i], 1, 1, i == 0, 0, i + 1 == n, 0);
    const size_t nrows = static_cast<size_t>(sheet->row_count);
    std::vector<size_t> sym = vxs_table_sym_indexes(cols);
    for (size_t r = 0; r < nrows && file.ok(); ++r) {
        for (size_t i = 0; i < n; ++i)
            html_write_item(vxs_table_cell_text(sheet, cols[i], r, sym[i]).c_str(), percent[i], 0,
                            0, i == 0, r + 1 == nrows, i + 1 == n, 0);
    }
    html_write_end();
    html_out = nullptr;
    return file.close() ? 1 : 0;
}
