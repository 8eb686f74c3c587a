// Zip members streamed through expat for the xlsx and ods readers.
#include "vxs_zipxml.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "../sheet/vxs_cp1252.h"
#include "../sheet/vxs_sheet.h"
#include "../sheet/vxs_txtnum.h"
#include "vxs_cells.h"

namespace {

constexpr size_t kBlock = 1 << 16;
constexpr uint64_t kMaxStoreBytes = 480000000;

// The name after its prefix ("x:c" -> "c"), in one pass: called for every tag and attribute.
std::string_view local_of(const char* name) {
    const char* local = name;
    const char* p = name;
    for (; *p; ++p)
        if (*p == ':') local = p + 1;
    return std::string_view(local, static_cast<size_t>(p - local));
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

namespace {

// Inflates a member on a second thread, a few blocks ahead of the parser: on a big sheet
// inflating is about a fifth of the reading and expat the rest, and each block depends on
// nothing the parser does. Small members are read inline, where a thread would cost more.
class Inflater {
public:
    static constexpr size_t kDepth = 4;
    static constexpr size_t kBlockBytes = size_t(1) << 18;
    static constexpr zip_uint64_t kThreadFrom = zip_uint64_t(1) << 20;

    explicit Inflater(zip_file_t* f) : f_(f) {
        for (std::vector<char>& b : blocks_) b.resize(kBlockBytes);
        worker_ = std::thread([this] { run(); });
    }
    ~Inflater() {
        {
            std::lock_guard<std::mutex> lock(m_);
            quit_ = true;
        }
        cv_.notify_all();
        worker_.join();
    }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // The next block (empty at the end), valid until the next call; false on a read error.
    bool next(std::string_view& block) {
        std::unique_lock<std::mutex> lock(m_);
        if (taken_) {  // the block handed out last time is free again
            ++head_;
            --filled_;
            taken_ = false;
            cv_.notify_all();
        }
        cv_.wait(lock, [this] { return filled_ > 0 || ended_; });
        if (filled_ == 0) {
            block = {};
            return !failed_;
        }
        const size_t k = head_ % kDepth;
        block = std::string_view(blocks_[k].data(), static_cast<size_t>(sizes_[k]));
        taken_ = true;
        return true;
    }

private:
    void run() {
        for (size_t tail = 0;; ++tail) {
            {
                std::unique_lock<std::mutex> lock(m_);
                cv_.wait(lock, [this] { return filled_ < kDepth || quit_; });
                if (quit_) return;
            }
            // The slot at tail is free, and the parser does not touch it until it is counted.
            const size_t k = tail % kDepth;
            const zip_int64_t n = zip_fread(f_, blocks_[k].data(), kBlockBytes);
            std::lock_guard<std::mutex> lock(m_);
            if (n <= 0) {
                failed_ = n < 0;
                ended_ = true;
                cv_.notify_all();
                return;
            }
            sizes_[k] = n;
            ++filled_;
            cv_.notify_all();
        }
    }

    zip_file_t* f_;
    std::vector<char> blocks_[kDepth];
    zip_int64_t sizes_[kDepth] = {};
    size_t head_ = 0, filled_ = 0;
    bool taken_ = false, ended_ = false, failed_ = false, quit_ = false;
    std::mutex m_;
    std::condition_variable cv_;
    std::thread worker_;
};

}  // namespace

bool ZipArchive::parse(const std::string& member, XmlHandler& handler) const {
    if (!zip_) return false;
    zip_stat_t st;
    zip_stat_init(&st);
    const bool big = zip_stat(zip_, member.c_str(), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE) &&
                     st.size >= Inflater::kThreadFrom && std::thread::hardware_concurrency() > 1;
    zip_file_t* f = zip_fopen(zip_, member.c_str(), 0);
    if (!f) return false;
    XML_Parser p = XML_ParserCreate(nullptr);
    XML_SetUserData(p, &handler);
    XML_SetElementHandler(p, on_start, on_end);
    XML_SetCharacterDataHandler(p, on_text);
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
    // next(block) gives the member's next block, empty at its end; false on a read error.
    bool ok = true;
    auto parse_blocks = [&](auto&& next) {
        std::string_view block;
        for (;;) {
            if (!next(block)) {
                ok = false;
                return;
            }
            const bool last = block.empty();
            if (XML_Parse(p, block.data(), static_cast<int>(block.size()), last) == XML_STATUS_ERROR) {
                ok = false;
                return;
            }
            if (last || handler.stop) return;
        }
    };
    if (big) {
        Inflater inflater(f);
        parse_blocks([&](std::string_view& block) { return inflater.next(block); });
    } else {
        std::vector<char> buf(kBlock);
        parse_blocks([&](std::string_view& block) {
            const zip_int64_t n = zip_fread(f, buf.data(), buf.size());
            block = std::string_view(buf.data(), n > 0 ? static_cast<size_t>(n) : 0);
            return n >= 0;
        });
    }
    XML_ParserFree(p);
    zip_fclose(f);
    return ok || handler.stop;
}

// ---------------------------------------------------------------------------------------------
// Cells gathered before the store is made

// More cells than this is a file built to exhaust memory (or beyond what the store could hold).
constexpr size_t kMaxCells = 40000000;

CellList::CellList() { store_.create_growing(kMaxStoreBytes / 4 - 8); }

void CellList::count(int64_t col, uint8_t style) {
    if (count_ >= kMaxCells) vxs_fatal("Error: Too much data in Excel file for Morvalen to handle!\n", 9);
    ++count_;
    if (style == kText) return;
    size_t k = static_cast<size_t>(col);
    if (k >= dated_.size()) {
        dated_.resize(k + 1, 0);
        plain_.resize(k + 1, 0);
        style_.resize(k + 1, 0);
    }
    if (style == Plain) {
        ++plain_[k];
    } else {
        ++dated_[k];
        if (!style_[k]) style_[k] = style;
    }
}

void CellList::added(int64_t row, int64_t col, uint8_t style) {
    count(col, style);
    if (row != recent_row_) {
        recent_.clear();
        recent_row_ = row;
        recent_first_ = count_ - 1;
    }
    recent_.emplace_back(col, style);
}

void CellList::number(int64_t row, int64_t col, double value, Style style) {
    if (!keep(row, col) || !std::isfinite(value) || !(value > vxs_missing)) return;
    store_.put_number(row, col, value);
    added(row, col, style);
}

void CellList::text(int64_t row, int64_t col, std::string_view utf8) {
    if (!keep(row, col)) return;
    scratch_.clear();
    vxs_utf8_to_cp1252(utf8, scratch_, VXS_MAX_TEXT);
    std::string t = vxs_get_global_defaults()->factor_strip_blanks ? vxs_strip_blanks(scratch_, VXS_MAX_TEXT) : scratch_;
    if (t.empty()) return;
    store_.put_text(row, col, t);
    added(row, col, kText);
}

void CellList::repeat_row(size_t first, int64_t to) {
    if (to < min_row || to > max_row || first < recent_first_) return;
    for (size_t i = first - recent_first_; i < recent_.size(); ++i) {
        auto [col, style] = recent_[i];
        count(col, style);
        store_.copy_cell(recent_row_, col, to);
    }
}

int CellList::to_sheet(VxsSelection* sel, const char* path, const char* sheet_name) {
    if (count_ == 0) return 1;
    // The store starts at A1, as an Excel sheet's does, so cell references in warnings agree.
    store_.date_formats.assign(static_cast<size_t>(store_.last_col + 1), 0);
    for (size_t k = 0; k < dated_.size() && k < store_.date_formats.size(); ++k)
        if (dated_[k] && !plain_[k]) store_.date_formats[k] = style_[k] == DateTime ? 34 : style_[k] == Time ? 36 : 2;
    return vxs_create_sheet_from_store(sel, path, sheet_name, store_, 5);
}
