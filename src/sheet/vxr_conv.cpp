// Column type conversion between variate, text, factor and units columns, and the levels and
// labels of factors: sorting, natural orders (compass points, weekdays, months), reordering.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <string>
#include <unordered_map>

#include "vxs_access.h"
#include "vxs_conv.h"
#include "vxs_dates.h"
#include "vxs_txtnum.h"
#include "vxs_strings.h"

namespace {

// A factor's level list cost a 24-byte node per level; lists beyond the allocator's largest
// request were refused, and downstream writers still size per-level tables from the count.
constexpr size_t MAX_LEVELS = 160000000 / 24;

const char* const kCompass[16] = {"N", "NNE", "NE", "NEE", "E", "SEE", "SE", "SSE",
                                  "S", "SSW", "SW", "SWW", "W", "NWW", "NW", "NNW"};

double missing_of(const Column* c) { return c->sheet ? c->sheet->missing : vxs_missing; }

std::string lower(std::string_view s) {
    std::string r(s);
    for (char& ch : r)
        if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return r;
}

bool all_blank(std::string_view s) { return s.find_first_not_of(' ') == std::string_view::npos; }

// Names of a natural order and how many leading characters of a label must match one.
struct NaturalOrder {
    std::vector<std::string> names;
    size_t compared = 0;
};

NaturalOrder natural_order(int kind) {
    NaturalOrder o;
    const VxsDefaults* d = vxs_get_global_defaults();
    switch (kind) {
        case 0:
            o.names.assign(std::begin(kCompass), std::end(kCompass));
            o.compared = 5;
            break;
        case 1:
            o.names.assign(d->day_names + 1, d->day_names + 8);
            o.compared = 3;
            break;
        case 2:
            o.names.assign(d->short_month_names + 1, d->short_month_names + 13);
            o.compared = 3;
            break;
        case 3:
            o.names.assign(d->month_names + 1, d->month_names + 13);
            o.compared = 4;
            break;
        default: break;
    }
    return o;
}

int rank_in(const NaturalOrder& o, const std::string& label) {
    for (size_t i = 0; i < o.names.size(); ++i)
        if (strnicmp(label.c_str(), o.names[i].c_str(), o.compared) == 0) return static_cast<int>(i);
    return -1;
}

void set_date_state(const Column* c) {
    if (c->representation != VXS_REP_DATE) return;
    const VxsDefaults* d = c->sheet ? &c->sheet->defaults : vxs_get_global_defaults();
    vxs_set_gregorian(c->date_format ? c->gregorian : d->gregorian);
    vxs_set_date_format(c->date_format ? c->date_format : d->date_format);
}

void drop_factor_lists(Column* c) {
    free_memory(c, VXS_KIND_LEVELS);
    free_memory(c, VXS_KIND_LABELS);
    c->origin = 0;
}

void record_longest_label(Column* c) {
    size_t longest = 0;
    for (auto& l : c->labels) longest = std::max(longest, l.size());
    c->longest_label = static_cast<int32_t>(longest);
}

// Level number held by a factor cell, or 0 when the cell holds none of 1..n.
int64_t level_of(double v, int64_t n) {
    if (!(v >= 1.0) || v > static_cast<double>(n)) return 0;
    double r = std::floor(v);
    return r == v ? static_cast<int64_t>(r) : 0;
}

std::string value_text(const Column* c, double v) {
    char buf[400];
    write_num(buf, v, c->representation, c->decimals, missing_of(c));
    return buf;
}

// Level k (1-based) as text, as factor cells are shown.
std::string level_text(const Column* c, int64_t k) {
    if (c->origin == 2) {
        return k >= 1 && k <= c->labels_present() ? c->labels[static_cast<size_t>(k - 1)].substr(0, VXS_MAX_NAME)
                                                   : std::string();
    }
    if (c->origin == 1) {
        return k >= 1 && k <= c->levels_present() ? value_text(c, c->levels[static_cast<size_t>(k - 1)])
                                                   : std::string("*");
    }
    return value_text(c, static_cast<double>(k));
}

// Distinct values up to this many are found with a hash map; beyond, by sorting a copy, which
// takes a sixth of the memory (a shapefile's million record numbers).
constexpr size_t kHashedLevels = size_t(1) << 16;

// The levels of the cells above missing in order of first appearance (values) and each cell's
// level (code, 0 for missing); false when there are more than kHashedLevels.
bool levels_by_hashing(const std::vector<double>& num, double missing, std::vector<double>& values,
                       std::vector<int32_t>& code) {
    std::unordered_map<double, int32_t> index;
    code.assign(num.size(), 0);
    for (size_t i = 0; i < num.size(); ++i) {
        double v = num[i];
        if (!(v > missing)) continue;
        auto [it, fresh] = index.try_emplace(v, static_cast<int32_t>(values.size()));
        if (fresh) {
            if (values.size() >= kHashedLevels) return false;
            values.push_back(v);
        }
        code[i] = it->second + 1;
    }
    return true;
}

// The same by sorting; false above MAX_LEVELS. A level's value is the first one met (0 and -0
// are one level, as in the hash map).
bool levels_by_sorting(const std::vector<double>& num, double missing, std::vector<double>& values,
                       std::vector<int32_t>& code) {
    std::vector<double> distinct;
    distinct.reserve(num.size());
    for (double v : num)
        if (v > missing) distinct.push_back(v);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    if (distinct.size() > MAX_LEVELS) return false;
    distinct.shrink_to_fit();
    values.assign(distinct.size(), 0);
    code.assign(num.size(), 0);
    std::vector<int32_t> level(distinct.size(), 0);
    int32_t met = 0;
    for (size_t i = 0; i < num.size(); ++i) {
        double v = num[i];
        if (!(v > missing)) continue;
        size_t j = static_cast<size_t>(std::lower_bound(distinct.begin(), distinct.end(), v) - distinct.begin());
        if (!level[j]) {
            level[j] = ++met;
            values[static_cast<size_t>(met - 1)] = v;
        }
        code[i] = level[j];
    }
    return true;
}

}  // namespace

int convert_variate_to_factor(Column* c, int use_values) {
    if (!c || c->type != VXS_VARIATE) return 0;
    const double missing = missing_of(c);
    if (!use_values) {
        double top = 0;
        for (double v : c->num)
            if (v > missing) top = std::max(top, std::max(1.0, std::floor(v + 0.5)));
        if (top < 1 || top > static_cast<double>(MAX_LEVELS)) return 0;
        for (double& v : c->num)
            if (v > missing) v = std::max(1.0, std::floor(v + 0.5));
        drop_factor_lists(c);
        c->nlevels = static_cast<int32_t>(top);
    } else {
        std::vector<double> values;   // level values in order of first appearance
        std::vector<int32_t> code;    // each cell's level in that order, 0 when missing
        if (!levels_by_hashing(c->num, missing, values, code) && !levels_by_sorting(c->num, missing, values, code))
            return 0;
        drop_factor_lists(c);
        if (values.empty()) {
            c->nlevels = 2;
        } else {
            std::vector<int32_t> rank(values.size());
            std::iota(rank.begin(), rank.end(), 0);
            if (vxs_get_global_defaults()->sort_levels && values.size() >= 2) {
                std::vector<int32_t> by(values.size());
                std::iota(by.begin(), by.end(), 0);
                std::sort(by.begin(), by.end(), [&](int32_t a, int32_t b) { return values[a] < values[b]; });
                std::vector<double> sorted(values.size());
                for (size_t r = 0; r < by.size(); ++r) {
                    rank[static_cast<size_t>(by[r])] = static_cast<int32_t>(r);
                    sorted[r] = values[static_cast<size_t>(by[r])];
                }
                values.swap(sorted);
            }
            for (size_t i = 0; i < c->num.size(); ++i)
                if (code[i]) c->num[i] = rank[static_cast<size_t>(code[i] - 1)] + 1.0;
            bool counting = true;
            for (size_t i = 0; i < values.size() && counting; ++i) counting = values[i] == static_cast<double>(i + 1);
            c->nlevels = static_cast<int32_t>(values.size());
            if (!counting) {
                c->levels = std::move(values);
                c->origin = 1;
            }
        }
    }
    c->type = VXS_FACTOR;
    c->text_capacity = 41;
    mark_column_as_modified(c, 0);
    return 1;
}

// The first few thousand distinct texts of a column met, each with a number: an open-addressed
// table with a cheap hash of the texts' ends, as a factor's texts are short and few.
class SeenTexts {
public:
    explicit SeenTexts(size_t cells) {
        size_t slots = 16;
        while (slots < 2 * kRemembered && slots < 2 * cells) slots *= 2;
        slots_.resize(slots);
        mask_ = slots - 1;
    }
    const int32_t* find(std::string_view t) const {
        for (size_t h = hash(t) & mask_;; h = (h + 1) & mask_) {
            const Slot& s = slots_[h];
            if (!s.used) return nullptr;
            if (s.text == t) return &s.value;
        }
    }
    // Remembers t (not yet there) while there is room.
    void add(std::string_view t, int32_t value) {
        if (count_ >= kRemembered || 2 * count_ >= slots_.size()) return;
        size_t h = hash(t) & mask_;
        while (slots_[h].used) h = (h + 1) & mask_;
        slots_[h] = {t, value, true};
        ++count_;
    }

private:
    static constexpr size_t kRemembered = 4096;
    struct Slot {
        std::string_view text;
        int32_t value = 0;
        bool used = false;
    };
    static size_t hash(std::string_view t) {
        uint64_t a = 0, b = 0;
        const size_t n = t.size();
        if (n >= 8) {
            std::memcpy(&a, t.data(), 8);
            std::memcpy(&b, t.data() + n - 8, 8);
        } else {
            for (size_t i = 0; i < n; ++i) a = a << 8 | static_cast<unsigned char>(t[i]);
        }
        uint64_t h = (a ^ (b * 0x9E3779B97F4A7C15ull) ^ n) * 0xD6E8FEB86659FD93ull;
        return static_cast<size_t>(h ^ (h >> 32));
    }
    std::vector<Slot> slots_;
    size_t mask_ = 0, count_ = 0;
};

int convert_text_to_factor(Column* c, int ignore_case, int strip) {
    if (!c || c->type != VXS_TEXT) return 0;
    const double missing = missing_of(c);
    const size_t n = c->text.size();
    std::vector<double> cells(n, missing);
    std::vector<std::string> labels;
    std::unordered_map<std::string, int32_t> index;
    // A factor's cells repeat a few texts: each text as it stands is stripped, folded and
    // looked up once. The texts stay in the column until the end, so views of them can key.
    SeenTexts seen(n);
    for (size_t i = 0; i < n; ++i) {
        std::string_view t = c->text.get(i);
        if (t.empty()) continue;
        if (const int32_t* known = seen.find(t)) {
            if (*known) cells[i] = *known;
            continue;
        }
        std::string s = strip ? vxs_strip_blanks(t, VXS_MAX_TEXT) : std::string(t.substr(0, VXS_MAX_NAME));
        if (s.size() > VXS_MAX_NAME) s.resize(VXS_MAX_NAME);
        int32_t level = 0;
        if (!all_blank(s)) {  // blanks only: no label, a missing cell
            auto [it, fresh] = index.try_emplace(ignore_case ? lower(s) : s, static_cast<int32_t>(labels.size()));
            if (fresh) labels.push_back(std::move(s));
            level = it->second + 1;
            cells[i] = level;
        }
        seen.add(t, level);
    }
    const bool sort = vxs_get_global_defaults()->sort_levels != 0;
    if (sort && labels.size() >= 2) {
        std::vector<int32_t> by(labels.size());
        std::iota(by.begin(), by.end(), 0);
        if (ignore_case) {
            std::vector<std::string> keys(labels.size());
            for (size_t i = 0; i < labels.size(); ++i) keys[i] = lower(labels[i]);
            std::sort(by.begin(), by.end(), [&](int32_t a, int32_t b) { return keys[a] < keys[b]; });
        } else {
            std::sort(by.begin(), by.end(), [&](int32_t a, int32_t b) { return labels[a] < labels[b]; });
        }
        std::vector<int32_t> rank(labels.size());
        std::vector<std::string> sorted(labels.size());
        for (size_t r = 0; r < by.size(); ++r) {
            rank[static_cast<size_t>(by[r])] = static_cast<int32_t>(r);
            sorted[r] = std::move(labels[static_cast<size_t>(by[r])]);
        }
        labels.swap(sorted);
        for (double& v : cells)
            if (v > missing) v = rank[static_cast<size_t>(v) - 1] + 1.0;
    }
    free_memory(c, VXS_TEXT);
    drop_factor_lists(c);
    c->num = std::move(cells);
    c->type = VXS_FACTOR;
    c->decimals = -1;
    c->text_capacity = 41;
    if (labels.empty()) {
        c->nlevels = 2;
        c->origin = 0;
        c->representation = VXS_REP_GENERAL;
    } else {
        c->nlevels = static_cast<int32_t>(labels.size());
        c->labels = std::move(labels);
        record_longest_label(c);
        c->origin = 2;
        c->representation = VXS_REP_TEXT;
        if (sort) {
            for (int kind : {0, 1, 3, 2}) {
                if (vxs_fac_labels_of_type(c, kind)) {
                    vxs_fac_sort_labels(c, kind);
                    break;
                }
            }
        }
    }
    mark_column_as_modified(c, 0);
    return 1;
}

int convert_factor_to_variate(Column* c, int use_level_values) {
    if (!c || c->type != VXS_FACTOR) return 0;
    if (use_level_values && !c->levels.empty()) {
        const int64_t n = c->levels_present();
        for (double& v : c->num)
            if (int64_t k = level_of(v, n)) v = c->levels[static_cast<size_t>(k - 1)];
    }
    drop_factor_lists(c);
    c->nlevels = 0;
    c->type = VXS_VARIATE;
    c->text_capacity = 25;
    if (c->representation == VXS_REP_TEXT) c->representation = VXS_REP_GENERAL;
    mark_column_as_modified(c, 0);
    return 1;
}

int convert_text_to_variate(Column* c) {
    if (!c || c->type != VXS_TEXT) return 0;
    const double missing = missing_of(c);
    const size_t n = c->text.size();
    std::vector<double> cells(n, missing);
    std::string t;
    for (size_t i = 0; i < n; ++i) {
        std::string_view v = c->text.get(i);
        if (v.empty()) continue;
        t.assign(v);
        int16_t changed = 0;
        cells[i] = vxs_spread_read_num_from_text(t.c_str(), missing, &changed);
        if (changed) vxs_warn_conversion(c->name.c_str(), static_cast<long>(i + 1), t.c_str(), cells[i], missing);
    }
    free_memory(c, VXS_TEXT);
    c->num = std::move(cells);
    c->type = VXS_VARIATE;
    c->representation = VXS_REP_GENERAL;
    c->decimals = -1;
    c->text_capacity = 25;
    mark_column_as_modified(c, 0);
    return 1;
}

int convert_variate_to_text(Column* c) {
    if (!c || c->type != VXS_VARIATE) return 0;
    const double missing = missing_of(c);
    set_date_state(c);
    TextCells cells;
    cells.reserve(c->num.size(), c->num.size() * 8);
    size_t longest = 0;
    char buf[400];
    for (double v : c->num) {
        if (v > missing) {
            write_num(buf, v, c->representation, c->decimals, missing);
            size_t len = std::min(std::strlen(buf), VXS_MAX_TEXT);
            longest = std::max(longest, len);
            cells.push_back(std::string_view(buf, len));
        } else {
            cells.push_back("");
        }
    }
    free_memory(c, c->type);
    c->text = std::move(cells);
    c->type = VXS_TEXT;
    c->representation = VXS_REP_TEXT;
    c->text_capacity = 90;
    c->nlevels = static_cast<int32_t>(longest);
    mark_column_as_modified(c, 0);
    return 1;
}

int convert_factor_to_text(Column* c) {
    if (!c || c->type != VXS_FACTOR) return 0;
    const double missing = missing_of(c);
    set_date_state(c);
    TextCells cells;
    cells.reserve(c->num.size(), 0);
    // Texts per level are made once; a million cells of 50 levels need only 50 of them.
    std::unordered_map<double, std::string> made;
    size_t longest = 0;
    for (double v : c->num) {
        if (!(v > missing)) {
            cells.push_back("");
            continue;
        }
        auto it = made.find(v);
        if (it == made.end()) {
            int64_t k = std::fabs(v) <= 2e9 ? static_cast<int64_t>(v) : 0;
            std::string s = c->origin == 0 ? value_text(c, v) : level_text(c, k);
            it = made.emplace(v, std::move(s)).first;
        }
        longest = std::max(longest, std::min(it->second.size(), VXS_MAX_TEXT));
        cells.push_back(it->second);
    }
    free_memory(c, c->type);
    drop_factor_lists(c);
    c->text = std::move(cells);
    c->type = VXS_TEXT;
    c->representation = VXS_REP_TEXT;
    c->text_capacity = 90;
    c->nlevels = static_cast<int32_t>(longest);
    mark_column_as_modified(c, 0);
    return 1;
}

namespace {
int make_units(Column* c, int32_t from_type, int32_t units_type, int32_t rep) {
    if (!c || !c->sheet || c->type != from_type) return 0;
    Sheet* s = c->sheet;
    if (s->units_count > 1) return 0;
    c->type = units_type;
    if (!move_column(s, c->position, 1)) {
        c->type = from_type;
        return 0;
    }
    c->representation = rep;
    s->units_count++;
    mark_column_as_modified(c, 0);
    return 1;
}

int unmake_units(Column* c, int32_t units_type, int32_t to_type) {
    if (!c || c->type != units_type) return 0;
    c->type = to_type;
    if (c->sheet) c->sheet->units_count--;
    mark_column_as_modified(c, 0);
    return 1;
}
}  // namespace

int convert_variate_to_units(Column* c) { return make_units(c, VXS_VARIATE, VXS_UNITS_NUM, VXS_REP_GENERAL); }
int convert_text_to_units(Column* c) { return make_units(c, VXS_TEXT, VXS_UNITS_TEXT, VXS_REP_TEXT); }
int convert_units_to_variate(Column* c) { return unmake_units(c, VXS_UNITS_NUM, VXS_VARIATE); }
int convert_units_to_text(Column* c) { return unmake_units(c, VXS_UNITS_TEXT, VXS_TEXT); }

void convert_column(Column* c, int32_t from, int32_t to, int ignore_case, int strip) {
    if (!c || !c->sheet || c->sheet->lock || c->lock || from == to) return;
    mark_column_as_modified(c, 0);
    const bool units_free = c->sheet->units_count <= 1;
    switch (from) {
        case VXS_SCALAR: case VXS_VARIATE: case VXS_MATRIX_COL: case VXS_TABLE_BODY:
            if (c->type == VXS_SCALAR || c->type == VXS_MATRIX_COL || c->type == VXS_TABLE_BODY) c->type = VXS_VARIATE;
            if (to == VXS_MATRIX_COL || to == VXS_TABLE_BODY) c->type = to;
            else if (to == VXS_FACTOR) convert_variate_to_factor(c, 1);
            else if (to == VXS_TEXT) convert_variate_to_text(c);
            else if (to == VXS_UNITS_NUM && units_free) convert_variate_to_units(c);
            break;
        case VXS_FACTOR:
            if (to == VXS_TEXT) {
                convert_factor_to_text(c);
            } else if (to == VXS_VARIATE) {
                convert_factor_to_variate(c, c->origin && !c->levels.empty() ? 1 : 0);
            } else if (to == VXS_UNITS_NUM && units_free) {
                if (convert_factor_to_variate(c, 0)) convert_variate_to_units(c);
            } else if (to == VXS_UNITS_TEXT && units_free) {
                if (convert_factor_to_text(c)) convert_text_to_units(c);
            }
            break;
        case VXS_TEXT:
            if (to == VXS_VARIATE) convert_text_to_variate(c);
            else if (to == VXS_FACTOR) convert_text_to_factor(c, ignore_case, strip);
            else if (to == VXS_UNITS_NUM && units_free) {
                if (convert_text_to_variate(c)) convert_variate_to_units(c);
            } else if (to == VXS_UNITS_TEXT && units_free) {
                convert_text_to_units(c);
            }
            break;
        case VXS_UNITS_NUM:
            if (to != VXS_FACTOR && to != VXS_TEXT && to != VXS_VARIATE) break;
            if (!convert_units_to_variate(c)) break;
            if (to == VXS_FACTOR) convert_variate_to_factor(c, 1);
            else if (to == VXS_TEXT) convert_variate_to_text(c);
            break;
        case VXS_UNITS_TEXT:
            if (to != VXS_FACTOR && to != VXS_TEXT && to != VXS_VARIATE) break;
            if (!convert_units_to_text(c)) break;
            if (to == VXS_FACTOR) convert_text_to_factor(c, ignore_case, strip);
            else if (to == VXS_VARIATE) convert_text_to_variate(c);
            break;
        default: break;
    }
}

int vxs_fac_labels_of_type(Column* c, int kind) {
    if (!c || c->type != VXS_FACTOR || c->labels.empty() || kind < 0 || kind > 3) return 0;
    NaturalOrder o = natural_order(kind);
    for (auto& l : c->labels)
        if (rank_in(o, l) < 0) return 0;
    return 1;
}

void vxs_fac_sort_labels(Column* c, int kind) {
    if (!c || c->type != VXS_FACTOR || c->labels.size() < 2 || kind < 0 || kind > 3) return;
    NaturalOrder o = natural_order(kind);
    const size_t n = c->labels.size();
    std::vector<int> rank(n);
    for (size_t i = 0; i < n; ++i) {
        int r = rank_in(o, c->labels[i]);
        rank[i] = r >= 0 ? r : static_cast<int>(i);
    }
    std::vector<int32_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return rank[a] < rank[b]; });
    if (static_cast<int64_t>(n) == c->nlevels) vxs_factor_reorder(c, order.data());
}

void vxs_factor_reorder(Column* c, const int32_t* order) {
    if (!c || !order || c->type != VXS_FACTOR || c->nlevels < 2) return;
    const size_t n = static_cast<size_t>(c->nlevels);
    std::vector<int32_t> inverse(n, -1);
    bool identity = true;
    for (size_t i = 0; i < n; ++i) {
        int32_t o = order[i];
        if (o < 0 || static_cast<size_t>(o) >= n || inverse[static_cast<size_t>(o)] >= 0) return;
        inverse[static_cast<size_t>(o)] = static_cast<int32_t>(i);
        identity = identity && o == static_cast<int32_t>(i);
    }
    if (identity) return;
    if (c->levels.size() == n) {
        std::vector<double> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = c->levels[static_cast<size_t>(order[i])];
        c->levels.swap(v);
    }
    if (c->labels.size() == n) {
        std::vector<std::string> l(n);
        for (size_t i = 0; i < n; ++i) l[i] = std::move(c->labels[static_cast<size_t>(order[i])]);
        c->labels.swap(l);
    }
    for (double& v : c->num)
        if (int64_t k = level_of(v, static_cast<int64_t>(n))) v = inverse[static_cast<size_t>(k - 1)] + 1.0;
    mark_column_as_modified(c, 0);
}

int vxs_fac_default_labels(Column* c) {
    if (!c || c->type != VXS_FACTOR || c->nlevels < 0) return 0;
    free_memory(c, VXS_KIND_LABELS);
    set_date_state(c);
    std::vector<std::string> labels;
    labels.reserve(static_cast<size_t>(c->nlevels));
    for (int32_t k = 1; k <= c->nlevels; ++k) {
        std::string s = k <= c->levels_present() ? value_text(c, c->levels[static_cast<size_t>(k - 1)])
                                                 : std::to_string(k);
        if (s.size() > VXS_MAX_NAME) s.resize(VXS_MAX_NAME);
        labels.push_back(std::move(s));
    }
    c->labels = std::move(labels);
    record_longest_label(c);
    c->origin = 2;
    c->representation = VXS_REP_TEXT;
    return 1;
}

int vxs_fac_default_levels(Column* c, const double* values) {
    if (!c || c->type != VXS_FACTOR || c->nlevels < 0) return 0;
    free_memory(c, VXS_KIND_LEVELS);
    c->levels.resize(static_cast<size_t>(c->nlevels));
    for (int32_t k = 0; k < c->nlevels; ++k) c->levels[static_cast<size_t>(k)] = values ? values[k] : k + 1.0;
    c->origin = 1;
    c->representation = VXS_REP_GENERAL;
    return 1;
}

void vxs_reorder_levels_from_list(Column* c, const char* list) {
    if (!c || !list || c->type != VXS_FACTOR || c->nlevels < 2) return;
    const bool numeric = std::strspn(list, "(0123456789.+-eE, )") == std::strlen(list);
    if (numeric && c->levels_present() != c->nlevels) vxs_fac_default_levels(c, nullptr);
    if (!numeric && c->labels_present() != c->nlevels) vxs_fac_default_labels(c);
    const size_t n = static_cast<size_t>(c->nlevels);
    std::vector<int32_t> order;
    std::vector<char> used(n, 0);
    std::string all(list);
    size_t start = 0;
    while (start <= all.size()) {
        size_t comma = all.find(',', start);
        if (comma == std::string::npos) comma = all.size();
        std::string entry = all.substr(start, comma - start);
        start = comma + 1;
        int found = -1;
        if (numeric) {
            std::erase(entry, '(');
            std::erase(entry, ')');
            char* end = nullptr;
            double v = std::strtod(entry.c_str(), &end);
            if (end == entry.c_str()) continue;
            for (size_t i = 0; i < n && found < 0; ++i)
                if (!used[i] && c->levels[i] == v) found = static_cast<int>(i);
        } else {
            std::string key = lower(vxs_strip_blanks(entry, entry.size()));
            if (all_blank(key)) continue;
            for (size_t i = 0; i < n && found < 0; ++i)
                if (!used[i] && lower(vxs_strip_blanks(c->labels[i], c->labels[i].size())) == key)
                    found = static_cast<int>(i);
        }
        if (found >= 0) {
            used[static_cast<size_t>(found)] = 1;
            order.push_back(found);
        }
    }
    // Levels the list does not name follow in their present order.
    for (size_t i = 0; i < n; ++i)
        if (!used[i]) order.push_back(static_cast<int32_t>(i));
    vxs_factor_reorder(c, order.data());
}

void vxs_write_factor_value(Column* c, int32_t level, char* buffer) {
    if (!buffer) return;
    buffer[0] = '\0';
    if (!c || c->type != VXS_FACTOR) return;
    set_date_state(c);
    std::string s = level_text(c, level);
    if (s.size() > 63) s.resize(63);
    std::memcpy(buffer, s.c_str(), s.size() + 1);
}
