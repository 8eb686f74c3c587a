// SPSS system file reader: one column per variable (numbers as variates, strings as text),
// variable labels as descriptions, print formats as decimals, widths and dates, user-missing
// values as missing, value labels as factor labels. Either byte order, compressed or not.
#include "vxr_spss.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "../sheet/vxs_reader_kit.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/vxs_access.h"
#include "../sheet/vxs_conv.h"
#include "../sheet/vxs_dates.h"
#include "../sheet/vxs_txtnum.h"
#include "../sheet/block_file.h"

namespace {

constexpr size_t SLOT = 8;
constexpr size_t MAX_SET_LABEL = 40;
constexpr int32_t MAX_DECIMALS = 16;
constexpr char PRODUCT_MARK[] = "@(#) SPSS DATA FILE";

// The system-missing value as the decompressor writes it: not a number in either byte order.
constexpr uint8_t SYSMIS_BYTES[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF};

struct LabelSet {
    std::vector<std::string> labels;
    std::vector<std::array<uint8_t, 8>> values;
};

// State of the decompressor, reset for every file: the current command block (one block may
// serve two cases), the next command in it (8 when used up), and whether the end command has
// been seen.
struct Decompressor {
    uint8_t c[8] = {};
    int nc = 8;
    bool ended = false;
};
Decompressor g_comp;

uint64_t load64(const uint8_t* p, Endian order) {
    uint64_t v = 0;
    if (order == Endian::Little)
        for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    else
        for (int i = 0; i < 8; ++i) v = (v << 8) | p[i];
    return v;
}

double get_f64(const uint8_t* p, Endian order) {
    uint64_t bits = load64(p, order);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

void put_f64(uint8_t* p, double d, Endian order) {
    uint64_t bits;
    std::memcpy(&bits, &d, 8);
    for (int i = 0; i < 8; ++i) {
        uint8_t b = static_cast<uint8_t>(bits >> (8 * i));
        p[order == Endian::Little ? i : 7 - i] = b;
    }
}

// Fills n slots of one case, storing only the first keep of them (a header may announce more
// slots per case than the dictionary describes; those are read and dropped). Padding commands
// fill nothing: ReadStat pads every case to a whole block, so the blocks of a case are not
// planned ahead but read until the case is full.
int32_t decompress(uint8_t* slots, int32_t n, int32_t keep, double bias, ByteReader& in) {
    if (g_comp.ended) return 0;
    int32_t filled = 0;
    int64_t count = 0;
    for (;;) {
        if (g_comp.nc >= 8) {
            if (!in.bytes(g_comp.c, 8)) return filled ? -1 : 0;
            g_comp.nc = 0;
        }
        while (g_comp.nc < 8) {
            uint8_t c = g_comp.c[g_comp.nc++];
            ++count;
            uint8_t* slot = filled < keep ? slots + static_cast<size_t>(filled) * SLOT : nullptr;
            switch (c) {
                case SPSS_CMD_PAD:
                    continue;
                case SPSS_CMD_END:
                    g_comp.nc = 8;
                    g_comp.ended = true;
                    return filled ? -1 : 0;
                case SPSS_CMD_RAW:
                    if (!in.has(SLOT)) return 0;
                    if (slot)
                        in.bytes(slot, SLOT);
                    else
                        in.skip(SLOT);
                    count += 8;
                    break;
                case SPSS_CMD_BLANKS:
                    if (slot) std::memset(slot, ' ', SLOT);
                    break;
                case SPSS_CMD_SYSMIS:
                    if (slot) std::memcpy(slot, SYSMIS_BYTES, SLOT);
                    break;
                default:
                    // Written in the file's order so it is read back like any stored slot.
                    if (slot) put_f64(slot, c - bias, in.order());
                    break;
            }
            if (++filled == n) return static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX));
        }
    }
}

// Text of the 8-byte value of a label set, as compared with string data: trailing blanks
// removed, the first character always kept. pspp pads values of short strings with zero bytes
// rather than blanks, so the text also ends at a zero byte.
std::string label_key(const std::array<uint8_t, 8>& value) {
    size_t n = 8;
    for (size_t i = 1; i < 8; ++i)
        if (value[i] == 0) {
            n = i;
            break;
        }
    while (n > 1 && value[n - 1] == ' ') --n;
    return std::string(reinterpret_cast<const char*>(value.data()), n);
}

std::string cut_at_nul(std::string_view s) { return vxs_fixed_field(s, VxsPad::Nul); }

void raise_width(Column* col) { col->width = std::max(col->width, col->longest_label + 2); }

// Numeric value labels: one label per level, the set's label for a value within 1e-12 of the
// level, otherwise the level printed.
void label_variate(Column* col, const LabelSet& set, Endian order) {
    if (!convert_variate_to_factor(col, 1)) return;
    std::vector<double> values;
    values.reserve(set.values.size());
    for (const auto& v : set.values) values.push_back(get_f64(v.data(), order));
    vxs_label_levels(col, values, set.labels, MAX_SET_LABEL);
    raise_width(col);
}

// String value labels: a level whose text equals a set value takes that value's label.
void label_text(Column* col, const LabelSet& set, const VxsDefaults& g) {
    if (!convert_text_to_factor(col, g.factor_ignore_case, g.factor_strip_blanks)) return;
    if (col->labels.empty()) return;
    std::vector<std::string> keys;
    keys.reserve(set.values.size());
    for (const auto& v : set.values) keys.push_back(label_key(v));
    col->longest_label = 0;
    for (std::string& label : col->labels) {
        for (size_t k = 0; k < keys.size(); ++k) {
            if (label == keys[k]) {
                label = set.labels[k];
                break;
            }
        }
        col->longest_label = std::max(col->longest_label, static_cast<int32_t>(label.size()));
    }
    col->origin = 2;
    raise_width(col);
}

struct Dictionary {
    Endian order = Endian::Little;
    int32_t case_size = 0;
    int32_t compression = 0;
    int32_t ncases = 0;
    double bias = SPSS_DEFAULT_BIAS;
    std::vector<SpssVariable> vars;
    std::vector<LabelSet> sets;
    bool foreign_product = false;  // the product name lacks the SPSS mark
};

// Header and dictionary up to and including the end record; false on any structural fault
// (with in.ok() false when the bytes ran out).
bool read_dictionary(ByteReader& in, Dictionary& d) {
    if (in.view(4) != "$FL2") return false;
    std::string_view product = in.view(SPSS_PRODUCT_SIZE);
    if (!in.ok()) return false;
    d.foreign_product = product.substr(0, sizeof PRODUCT_MARK - 1) != PRODUCT_MARK;

    // The layout code settles the byte order of every number that follows.
    if (in.u32_at(SPSS_OFF_LAYOUT) != SPSS_LAYOUT_CODE) {
        in.set_order(Endian::Big);
        if (in.u32_at(SPSS_OFF_LAYOUT) != SPSS_LAYOUT_CODE) return false;
    }
    d.order = in.order();
    in.skip(4);
    d.case_size = in.i32();
    d.compression = in.i32();
    in.i32();  // weight variable index
    d.ncases = in.i32();
    d.bias = in.f64();
    in.skip(SPSS_HEADER_SIZE - SPSS_OFF_BIAS - 8);
    if (!in.ok() || d.ncases == 0) return false;
    // Some writers leave the case size 0 (haven's iris.sav among them): the slots are then
    // counted from the variable records, one each, as other readers of these files do.
    const bool count_slots = d.case_size < 1;

    for (;;) {
        int32_t rec = in.i32();
        if (!in.ok()) return false;
        switch (rec) {
            case SPSS_REC_VARIABLE: {
                SpssVariable v;
                v.type = in.i32();
                v.has_label = in.i32();
                int32_t nmiss = in.i32();
                v.print_format = in.i32();
                v.write_format = in.i32();
                v.name = std::string(in.view(8));
                if (!in.ok() || v.type < -1) return false;
                v.nmissing = (nmiss == -3 || nmiss == -2 || (nmiss >= 0 && nmiss <= 3)) ? nmiss
                             : nmiss == -1                                              ? 1
                                                                                        : 3;
                if (v.has_label > 0) {
                    uint32_t len = in.u32();
                    size_t padded = (static_cast<size_t>(len) + 3) / 4 * 4;
                    std::string_view text = in.view(padded);
                    if (!in.ok()) return false;
                    v.label = std::string(text.substr(0, std::min<size_t>(len, MAX_SET_LABEL)));
                }
                int nvalues = std::abs(v.nmissing);
                for (int k = 0; k < nvalues; ++k) v.missing[k] = in.f64();
                if (!in.ok()) return false;
                v.kind = v.type == 0  ? SPSS_KIND_VARIATE
                         : v.type > 0 ? SPSS_KIND_TEXT
                                      : SPSS_KIND_CONTINUATION;
                // Every record is one slot of the case; more records than slots is a lie.
                if (!count_slots && static_cast<int64_t>(d.vars.size()) >= d.case_size) return false;
                d.vars.push_back(std::move(v));
                break;
            }
            case SPSS_REC_VALUE_LABELS: {
                uint32_t count = in.u32();
                // Each label takes at least 16 bytes: never loop over more than are present.
                if (!in.ok() || count > in.remaining() / 16) return false;
                LabelSet set;
                for (uint32_t k = 0; k < count; ++k) {
                    std::array<uint8_t, 8> value;
                    in.bytes(value.data(), 8);
                    uint8_t len = in.u8();
                    std::string_view text = in.view((len / 8 + 1) * 8 - 1);
                    if (!in.ok()) return false;
                    set.values.push_back(value);
                    set.labels.emplace_back(text.substr(0, std::min<size_t>(len, MAX_SET_LABEL)));
                }
                d.sets.push_back(std::move(set));
                break;
            }
            case SPSS_REC_LABEL_VARS: {
                uint32_t count = in.u32();
                if (!in.ok() || count > in.remaining() / 4) return false;
                for (uint32_t k = 0; k < count; ++k) {
                    int32_t index = in.i32();
                    if (index >= 1 && static_cast<size_t>(index) <= d.vars.size() &&
                        !d.sets.empty())
                        d.vars[index - 1].label_set = static_cast<int32_t>(d.sets.size()) - 1;
                }
                break;
            }
            case SPSS_REC_DOCUMENT: {
                uint32_t lines = in.u32();
                if (!in.ok() || !in.skip(static_cast<size_t>(lines) * 80)) return false;
                break;
            }
            case SPSS_REC_EXTENSION: {
                in.i32();  // subtype
                uint32_t size = in.u32();
                uint32_t count = in.u32();
                if (!in.ok()) return false;
                uint64_t bytes = static_cast<uint64_t>(size) * count;
                if (bytes > in.remaining() || !in.skip(static_cast<size_t>(bytes))) return false;
                break;
            }
            case SPSS_REC_END:
                in.i32();
                if (count_slots) d.case_size = static_cast<int32_t>(d.vars.size());
                return in.ok() && d.case_size >= 1;
            default:
                return false;
        }
    }
}

// Reads one case into buf (the slots the dictionary describes); returns what the decompressor
// returns, or for uncompressed data 1 for a whole case, -1 for a final partial one, 0 at the end.
int32_t read_case(BlockFile& f, const Dictionary& d, uint8_t* buf, size_t kept_slots) {
    const size_t kept = kept_slots * SLOT;
    if (!d.compression) {
        const uint64_t case_bytes = static_cast<uint64_t>(d.case_size) * SLOT;
        if (f.remaining() == 0) return 0;
        ByteReader w = f.window(kept, d.order);
        w.bytes(buf, std::min(kept, w.size()));
        bool whole = f.remaining() >= case_bytes;
        f.consume(case_bytes);
        return whole ? 1 : -1;
    }
    // A case takes at most 9 bytes a slot plus padding; when the window ends before the case
    // does and the file goes on, the case is decoded again from a window twice as large.
    uint8_t saved_c[8];
    std::memcpy(saved_c, g_comp.c, 8);
    const int saved_nc = g_comp.nc;
    size_t need = static_cast<size_t>(
        std::min<uint64_t>(static_cast<uint64_t>(d.case_size) * 9 + 8, BlockFile::BLOCK));
    for (;;) {
        ByteReader w = f.window(need, d.order);
        int32_t r = decompress(buf, d.case_size, static_cast<int32_t>(kept_slots), d.bias, w);
        if (r > 0 || g_comp.ended || w.size() >= f.remaining()) {
            f.consume(w.pos());
            return r;
        }
        std::memcpy(g_comp.c, saved_c, 8);
        g_comp.nc = saved_nc;
        need = w.size() * 2;
    }
}

}  // namespace

// SPSS keeps dates as seconds since 14 October 1582 and times as seconds. The sheet keeps dates
// as day numbers on the spreadsheet serial scale, so they are moved there; left as seconds they
// would print as nonsense dates. 14 October 1582 is serial -115859 counted back from 1 March
// 1900; serials before that day are one lower for the serial 60 that stands for no real day.
constexpr double SPSS_EPOCH_SERIAL = VxsEpoch::spss;

bool spss_is_duration_format(int32_t format_type) { return format_type == 21 || format_type == 25; }

double spss_seconds_to_day_number(double seconds, bool duration) {
    double days = seconds / 86400.0;
    if (duration) return days;
    double serial = days + SPSS_EPOCH_SERIAL;
    return serial < 61.0 ? serial - 1.0 : serial;
}

int32_t spss_date_format_of(int32_t format_type) {
    switch (format_type) {
        case 20:
            return 1;  // DATE
        case 21:
            return 36;  // TIME
        case 22:
            return 33;  // DATETIME
        case 23:
            return 24;  // ADATE
        case 24:
            return 35;  // JDATE
        case 25:
            return 33;  // DTIME
        case 38:
            return 2;  // EDATE
        case 39:
            return 20;  // SDATE
        default:
            return 0;
    }
}

void spss_reset_decompressor() { g_comp = Decompressor{}; }

int32_t spss_read_compressed_record(uint8_t* slots, int32_t n, double bias, ByteReader& in) {
    return decompress(slots, n, n, bias, in);
}

int spss_is_missing(const SpssVariable& v, double missing, double value) {
    if (std::isnan(value) || std::isinf(value) || value <= missing) return 1;
    if (vxs_get_global_defaults()->keep_declared_missing) return 0;
    if (v.nmissing > 0) {
        for (int k = 0; k < v.nmissing; ++k)
            if (value == v.missing[k]) return 1;
        return 0;
    }
    if (v.nmissing == -2) return v.missing[0] <= value && value <= v.missing[1];
    if (v.nmissing == -3)
        return value == v.missing[2] || (v.missing[0] <= value && value <= v.missing[1]);
    return 0;
}

int16_t read_spss_into_sheet(const char* path) {
    VxsSource src;
    if (!src.open_file(path)) return 0;
    return read_spss_source(src);
}

int16_t read_spss_source(VxsSource& src) {
    const std::string name = src.name();
    const char* path = name.c_str();
    BlockFile file;
    if (!file.open(std::move(src))) return 0;
    // The dictionary is read from a window that doubles until it holds the whole dictionary.
    Dictionary d;
    bool ok = false;
    for (size_t want = size_t(1) << 20;;) {
        ByteReader in = file.window(want, Endian::Little);
        d = Dictionary();
        ok = read_dictionary(in, d);
        if (ok) file.consume(in.pos());
        if (ok || in.ok() || in.size() >= file.remaining()) break;
        want = in.size() * 2;
    }
    if (d.foreign_product)
        std::printf("Warning: %s may not be in standard SPSS windows format!\n", path);
    if (!ok) return 0;
    const uint64_t data_start = file.position();

    // Columns: every record but the continuation slots, up to the column limit.
    std::vector<size_t> col_vars;
    for (size_t i = 0; i < d.vars.size(); ++i)
        if (d.vars[i].kind != SPSS_KIND_CONTINUATION) col_vars.push_back(i);
    if (static_cast<int64_t>(col_vars.size()) > VXSMAXCOLUMNS) {
        std::printf("Warning Columns above %li NOT transfered!\n",
                    static_cast<long>(VXSMAXCOLUMNS));
        col_vars.resize(static_cast<size_t>(VXSMAXCOLUMNS));
    }
    // Slots past the dictionary's last record are read and dropped.
    const size_t kept_slots = d.vars.size();
    std::vector<uint8_t> buf(std::max<size_t>(kept_slots, 1) * SLOT);

    // A case takes at least case-size command bytes when compressed, case-size slots when not;
    // a count beyond what the data can hold is cut to that, so a lying header sizes nothing.
    uint64_t data_bytes = file.remaining();
    size_t min_case = static_cast<size_t>(d.case_size) * (d.compression ? 1 : SLOT);
    uint64_t max_cases = data_bytes / min_case + 1;
    int64_t ncases = d.ncases;
    if (ncases < 0) {
        ncases = 0;
        spss_reset_decompressor();
        for (;;) {
            int32_t r = read_case(file, d, buf.data(), 0);
            if (r == 0) break;
            ++ncases;
            if (r < 0) break;
        }
        if (!file.seek(data_start)) return 0;
    }
    ncases = std::min<int64_t>(ncases, static_cast<int64_t>(max_cases));
    if (ncases <= 0) return 0;

    Sheet* sheet = vxs_begin_sheet(static_cast<int64_t>(ncases));
    if (!sheet) return 0;

    std::vector<Column*> cols;
    for (size_t i : col_vars) {
        const SpssVariable& v = d.vars[i];
        Column* col = vxs_add_column(sheet, v.kind == SPSS_KIND_TEXT ? VXS_TEXT : VXS_VARIATE, v.name.substr(0, 8),
                                     sheet->row_count, 8);
        if (!col) return 0;
        col->extra = cut_at_nul(v.label);
        col->decimals = std::min(v.print_format & 0xff, MAX_DECIMALS);
        int32_t width = std::min((v.print_format >> 8) & 0xff, static_cast<int32_t>(VXS_MAX_TEXT));
        col->width = std::max(width, static_cast<int32_t>(col->name.size()) + 2);
        if (int32_t code = spss_date_format_of((v.print_format >> 16) & 0xff)) {
            col->representation = VXS_REP_DATE;
            col->gregorian = 0;
            col->date_format = code;
        }
        cols.push_back(col);
    }

    const VxsDefaults& g = *vxs_get_global_defaults();
    const double missing = sheet->missing;
    spss_reset_decompressor();
    std::string text;
    for (int64_t row = 0; row < ncases; ++row) {
        std::fill(buf.begin(), buf.end(), 0);
        int32_t r = read_case(file, d, buf.data(), kept_slots);
        if (r == 0) break;
        for (size_t c = 0; c < cols.size(); ++c) {
            const SpssVariable& v = d.vars[col_vars[c]];
            const uint8_t* slot = buf.data() + col_vars[c] * SLOT;
            if (v.kind == SPSS_KIND_TEXT) {
                size_t room = (kept_slots - col_vars[c]) * SLOT;
                size_t len = std::min({static_cast<size_t>(v.type), VXS_MAX_TEXT, room});
                std::string_view raw(reinterpret_cast<const char*>(slot), len);
                size_t z = raw.find('\0');
                if (z != std::string_view::npos) raw = raw.substr(0, z);
                if (g.factor_strip_blanks) {
                    text = vxs_strip_blanks(raw, VXS_MAX_TEXT);
                } else {
                    size_t end = raw.find_last_not_of(' ');
                    text.assign(raw.substr(0, end == std::string_view::npos ? 0 : end + 1));
                }
                cols[c]->text.set(static_cast<size_t>(row), text);
            } else {
                double value = get_f64(slot, d.order);
                if (spss_is_missing(v, missing, value))
                    value = missing;
                else if (value > VXS_NUM_CEILING)
                    value = VXS_NUM_CEILING;
                cols[c]->num[static_cast<size_t>(row)] = value;
            }
        }
        if (r < 0) break;
    }

    for (size_t c = 0; c < cols.size(); ++c) {
        if (cols[c]->representation != VXS_REP_DATE) continue;
        bool duration = spss_is_duration_format((d.vars[col_vars[c]].print_format >> 16) & 0xff);
        for (double& value : cols[c]->num)
            if (value > missing && value < VXS_NUM_CEILING)
                value = spss_seconds_to_day_number(value, duration);
    }

    for (size_t c = 0; c < cols.size(); ++c) {
        const SpssVariable& v = d.vars[col_vars[c]];
        if (v.label_set < 0) continue;
        const LabelSet& set = d.sets[static_cast<size_t>(v.label_set)];
        if (cols[c]->type == VXS_TEXT)
            label_text(cols[c], set, g);
        else
            label_variate(cols[c], set, d.order);
    }
    return 1;
}
