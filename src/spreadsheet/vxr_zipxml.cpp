// Zip members streamed through expat for the xlsx and ods readers.
#include "vxs_zipxml.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "../sheet/vxs_cp1252.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "vxs_cells.h"

namespace {

constexpr size_t kBlock = 1 << 16;
constexpr uint64_t kMaxStoreBytes = 480000000;

std::string_view local_of(const char* name) {
    std::string_view n(name);
    size_t colon = n.rfind(':');
    return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

void on_start(void* data, const XML_Char* name, const XML_Char** attrs) {
    auto* h = static_cast<XmlHandler*>(data);
    h->start(local_of(name), attrs);
}

void on_end(void* data, const XML_Char* name) {
    auto* h = static_cast<XmlHandler*>(data);
    h->end(local_of(name));
}

void on_text(void* data, const XML_Char* s, int len) {
    auto* h = static_cast<XmlHandler*>(data);
    h->text(std::string_view(s, static_cast<size_t>(len)));
}

long days_from_civil(long y, long m, long d) {
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

double vxs_serial_of_date(long year, long month, long day) {
    double serial = static_cast<double>(days_from_civil(year, month, day) - days_from_civil(1899, 12, 30));
    return serial < 61 ? serial - 1 : serial;
}

const char* xml_attr(const char** attrs, std::string_view name) {
    for (size_t i = 0; attrs && attrs[i]; i += 2)
        if (local_of(attrs[i]) == name) return attrs[i + 1];
    return nullptr;
}

std::string_view xml_local(const char* name) { return local_of(name); }

ZipArchive::~ZipArchive() {
    if (zip_) zip_discard(zip_);
}

bool ZipArchive::open(const char* path) {
    int err = 0;
    zip_ = zip_open(path, ZIP_RDONLY, &err);
    return zip_ != nullptr;
}

bool ZipArchive::open(VxsSource& src) {
    if (!src.is_memory()) return src.is_open() && open(src.name().c_str());
    std::string_view bytes;
    src.whole(bytes);
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t* from = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &err);
    if (from) zip_ = zip_open_from_source(from, ZIP_RDONLY, &err);
    if (from && !zip_) zip_source_free(from);
    zip_error_fini(&err);
    return zip_ != nullptr;
}

bool ZipArchive::has(const std::string& member) const {
    return zip_ && zip_name_locate(zip_, member.c_str(), 0) >= 0;
}

bool ZipArchive::parse(const std::string& member, XmlHandler& handler) const {
    if (!zip_) return false;
    zip_file_t* f = zip_fopen(zip_, member.c_str(), 0);
    if (!f) return false;
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, &handler);
    XML_SetElementHandler(p, on_start, on_end);
    XML_SetCharacterDataHandler(p, on_text);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
    std::vector<char> buf(kBlock);
    bool ok = true;
    for (;;) {
        zip_int64_t n = zip_fread(f, buf.data(), buf.size());
        if (n < 0) {
            ok = false;
            break;
        }
        bool last = n == 0;
        if (XML_Parse(p, buf.data(), static_cast<int>(n), last) == XML_STATUS_ERROR) {
            ok = false;
            break;
        }
        if (last || handler.stop) break;
    }
    XML_ParserFree(p);
    zip_fclose(f);
    return ok || handler.stop;
}

// ---------------------------------------------------------------------------------------------
// Cells gathered before the store is made

// More cells than this is a file built to exhaust memory (or beyond what the store could hold).
constexpr size_t kMaxCells = 40000000;

void CellList::add(const Cell& c) {
    if (count_ >= kMaxCells) vxs_fatal("Error: Too much data in Excel file for Morvalen to handle!\n", 9);
    if (count_ % kBlockCells == 0) {
        blocks_.emplace_back();
        blocks_.back().reserve(kBlockCells);
    }
    blocks_.back().push_back(c);
    ++count_;
}

void CellList::number(int64_t row, int64_t col, double value, Style style) {
    if (!keep(row, col) || !std::isfinite(value) || !(value > vxs_missing)) return;
    add({static_cast<int32_t>(row), static_cast<uint16_t>(col), static_cast<uint8_t>(Number | (style << 1)), 0, value});
}

void CellList::text(int64_t row, int64_t col, std::string_view utf8) {
    if (!keep(row, col)) return;
    scratch_.clear();
    vxs_utf8_to_cp1252(utf8, scratch_, VXS_MAX_TEXT);
    std::string t = vxs_get_global_defaults()->factor_strip_blanks ? vxs_strip_blanks(scratch_, VXS_MAX_TEXT) : scratch_;
    if (t.empty()) return;
    double at = static_cast<double>(arena_.size());
    arena_ += t;
    add({static_cast<int32_t>(row), static_cast<uint16_t>(col), Text, static_cast<uint8_t>(t.size()), at});
}

void CellList::repeat_row(size_t first, int64_t to) {
    if (to < min_row || to > max_row) return;
    size_t end = count_;
    for (size_t i = first; i < end; ++i) {
        Cell c = at(i);
        c.row = static_cast<int32_t>(to);
        add(c);
    }
}

int CellList::to_sheet(VxsSelection* sel, const char* path, const char* sheet_name) {
    if (count_ == 0) return 1;
    // The store starts at A1, as an Excel sheet's does, so cell references in warnings agree.
    int64_t fr = 0, lr = -1, fc = 0, lc = -1;
    for (const std::vector<Cell>& block : blocks_) {
        for (const Cell& c : block) {
            lr = std::max<int64_t>(lr, c.row);
            lc = std::max<int64_t>(lc, c.col);
        }
    }
    // The same ceiling as the Excel reader's cell array.
    uint64_t count = static_cast<uint64_t>(lr - fr + 1) * static_cast<uint64_t>(lc - fc + 1);
    if ((count + 8) * 4 > kMaxStoreBytes) vxs_fatal("Error: Too much data in Excel file for Morvalen to handle!\n", 9);
    VxsCellStore store;
    if (!store.create(fr, lr, fc, lc)) vxs_fatal("Error: Not enough memory to read data!\n", 8);
    // A column is a date column when every number in it carries a date style.
    std::vector<int32_t> dated(static_cast<size_t>(lc - fc + 1), 0), plain(dated.size(), 0);
    std::vector<uint8_t> style(dated.size(), 0);
    for (std::vector<Cell>& block : blocks_) {
        for (const Cell& c : block) {
            size_t k = static_cast<size_t>(c.col - fc);
            if ((c.kind_style & 1) == Text) {
                store.put_text(c.row, c.col, std::string_view(arena_).substr(static_cast<size_t>(c.value), c.text_len));
                continue;
            }
            store.put_number(c.row, c.col, c.value);
            uint8_t cell_style = c.kind_style >> 1;
            if (cell_style == Plain) {
                ++plain[k];
            } else {
                ++dated[k];
                if (!style[k]) style[k] = cell_style;
            }
        }
        std::vector<Cell>().swap(block);
    }
    store.date_formats.assign(dated.size(), 0);
    for (size_t k = 0; k < dated.size(); ++k)
        if (dated[k] && !plain[k]) store.date_formats[k] = style[k] == DateTime ? 34 : style[k] == Time ? 36 : 2;
    blocks_.clear();
    count_ = 0;
    std::string().swap(arena_);
    return vxs_create_sheet_from_store(sel, path, sheet_name, store, 5);
}
