// The shared steps of the readers.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "vxs_access.h"
#include "vxs_conv.h"
#include "vxs_reader_kit.h"

Sheet* vxs_begin_sheet(int64_t rows) {
    Sheet* sheet = create_sheet();
    if (!sheet) return nullptr;
    sheet->missing = vxs_missing;
    vxs_set_gregorian(sheet->defaults.gregorian);
    sheet->row_count = static_cast<int32_t>(rows);
    create_row_attr(sheet);  // none for an empty sheet
    return sheet;
}

Column* vxs_add_column(Sheet* sheet, int32_t type, std::string raw, int32_t rows, size_t max_name) {
    make_valid_vantrix_name(raw);
    if (max_name && raw.size() > max_name) raw.resize(max_name);
    return create_column_with_memory(sheet, type, raw, rows);
}

void vxs_label_levels(Column* col, std::span<const double> values,
                      std::span<const std::string> labels, size_t max_label) {
    if (col->levels.empty()) vxs_fac_default_levels(col, nullptr);
    col->labels.clear();
    col->longest_label = 0;
    const size_t pairs = std::min(values.size(), labels.size());
    for (double level : col->levels) {
        std::string label;
        size_t k = 0;
        while (k < pairs && !(std::fabs(values[k] - level) < 1e-12)) ++k;
        if (k < pairs) {
            label = labels[k];
        } else {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%.12g", level);
            label = buf;
        }
        if (label.size() > max_label) label.resize(max_label);
        col->longest_label = std::max(col->longest_label, static_cast<int32_t>(label.size()));
        col->labels.push_back(std::move(label));
    }
    col->text_capacity = 41;
    col->origin = 2;
}

std::string_view vxs_fixed_view(std::string_view bytes, VxsPad pad) {
    if (pad != VxsPad::Blank) bytes = bytes.substr(0, bytes.find('\0'));
    if (pad != VxsPad::Nul)
        while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
    return bytes;
}

std::string vxs_fixed_field(std::string_view bytes, VxsPad pad) {
    return std::string(vxs_fixed_view(bytes, pad));
}
