// Compound document container reader: header, FAT (with its DIFAT chain), mini FAT, directory,
// streams in regular sectors and in the mini stream, the hand-over of other programs' streams
// to their readers through a temporary copy, and a recovery scan for workbooks whose first
// record has been overwritten. Every chain walk stops at a sector it has already visited, so a
// corrupt FAT can end a stream early but never loops.
#include "vxs_cdf.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "../sheet/byte_writer.h"
#include "../sheet/vxs_format_entries.h"
#include "../sheet/byte_reader.h"

int32_t xls_ver_2 = 0;
int32_t xls_ver_34 = 0;
int32_t xls_ver_97 = 0;
int16_t xls_in_label = 0;

namespace {

constexpr uint8_t kSignature[6] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1};
// Bare worksheet files: a BOF record with its header, version and worksheet type, and the
// Excel version it stands for. Excel 2 files carry either 07 05 or 07 00 as the version word.
struct BareMagic {
    uint8_t bytes[8];
    int version;
};
constexpr BareMagic kBareMagic[] = {
    {{0x09, 0x00, 0x04, 0x00, 0x07, 0x05, 0x10, 0x00}, 2},
    {{0x09, 0x00, 0x04, 0x00, 0x07, 0x00, 0x10, 0x00}, 2},
    {{0x09, 0x02, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00}, 3},
    {{0x09, 0x04, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00}, 4},
};
// First record of the workbook globals in a "Book" (BIFF5) and a "Workbook" (BIFF8) stream.
constexpr uint8_t kBof5[8] = {0x09, 0x08, 0x08, 0x00, 0x00, 0x05, 0x05, 0x00};
constexpr uint8_t kBof8[8] = {0x09, 0x08, 0x10, 0x00, 0x00, 0x06, 0x05, 0x00};

constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kFatMark = 0xFFFFFFFD;
constexpr size_t kDirEntry = 128;
constexpr size_t kHeaderFatSlots = 109;

// Header field offsets.
constexpr size_t kSectorShift = 30, kMiniShift = 32, kFatCount = 44, kDirStart = 48, kCutoff = 56,
                 kMiniFatStart = 60, kDifatStart = 68, kDifatArray = 76;
// Directory entry field offsets.
constexpr size_t kEntryStart = 116, kEntrySize = 120;

enum StreamKind { kBook, kWorkbook, kHandOver };

struct StreamName {
    const char* name;
    size_t compared;  // bytes of UTF-16LE compared, with the terminator where it counts
    StreamKind kind;
    const char* temp_name = nullptr;
    int16_t (*read)(const char* path) = nullptr;  // the reader a handed-over stream goes to
    void (*set_file)(const char* path) = nullptr;
};

// The streams read here; the streams of other programs are the ones the driver hands in.
constexpr StreamName kNames[] = {
    {"Book", 10, kBook},
    {"Workbook", 18, kWorkbook},
};

// Consecutive sectors of a stream: their first byte in the stream and in the file.
struct Run {
    uint64_t stream_at = 0, file_at = 0, length = 0;
};
// Bytes read into the window at once: a few refills cover a big stream, and a record (at most
// 64 KiB) always fits.
constexpr size_t kWindow = 1 << 20;

// Everything known about the open file; reset whenever a file is opened or released.
struct CdfState {
    FILE* in = nullptr;
    uint64_t file_size = 0;
    uint32_t page = 512, small_page = 64, small_cutoff = 4096;  // sector sizes, mini-stream cutoff
    std::vector<uint32_t> fat;       // the whole FAT, host order
    std::vector<uint32_t> fat_pos;   // FAT sector numbers from the header and the DIFAT chain
    std::vector<uint32_t> root_fat;  // the mini FAT
    // A big stream stays in the file: where each run of its sectors lies, and a window of its
    // bytes held in memory. A small one (mini stream, bare file, recovered) is held whole.
    std::vector<Run> runs;
    uint64_t stream_size = 0;
    std::vector<uint8_t> stream;  // the window: stream bytes from window_start
    uint64_t window_start = 0;
    size_t pos = 0;
    uint32_t biff_start = 0, biff_bias = 0, biff_length = 0;
    int16_t small_pages = 0;
};
CdfState g;

std::string g_container_file;
// Set once by the driver, not per file.
std::vector<VxsHandOver> g_hand_over;

size_t read_some(uint64_t offset, uint8_t* dest, size_t n) {
    if (!g.in || offset >= g.file_size) return 0;
    if (std::fseek(g.in, static_cast<long>(offset), SEEK_SET) != 0) return 0;
    return std::fread(dest, 1, n, g.in);
}

uint64_t sector_offset(uint32_t sector) { return (static_cast<uint64_t>(sector) + 1) * g.page; }

bool read_sector(uint32_t sector, uint8_t* dest) { return read_some(sector_offset(sector), dest, g.page) == g.page; }

// The sectors of a chain, ending at an end mark, an entry outside the FAT or a sector already
// visited.
std::vector<uint32_t> chain_of(uint32_t head) {
    std::vector<uint32_t> out;
    std::vector<bool> seen(g.fat.size());
    for (uint32_t s = head; s < g.fat.size() && !seen[s]; s = g.fat[s]) {
        seen[s] = true;
        out.push_back(s);
    }
    return out;
}

// Where the sectors' bytes lie: runs of consecutive sectors, cut at the end of the file.
std::vector<Run> runs_of(const std::vector<uint32_t>& sectors) {
    std::vector<Run> runs;
    uint64_t at = 0;
    size_t i = 0;
    while (i < sectors.size()) {
        size_t j = i + 1;
        while (j < sectors.size() && sectors[j] == sectors[j - 1] + 1) ++j;
        uint64_t offset = sector_offset(sectors[i]);
        if (offset >= g.file_size) break;
        uint64_t want = static_cast<uint64_t>(j - i) * g.page;
        if (want > g.file_size - offset) want = g.file_size - offset;
        runs.push_back({at, offset, want});
        at += want;
        i = j;
    }
    return runs;
}

// Appends the sectors' bytes, a run of consecutive sectors at a time.
void append_sectors(const std::vector<uint32_t>& sectors, std::vector<uint8_t>& out) {
    for (const Run& r : runs_of(sectors)) {
        size_t old = out.size();
        out.resize(old + r.length);
        size_t got = read_some(r.file_at, out.data() + old, r.length);
        out.resize(old + got);
        if (got < r.length) return;
    }
}

// Records where a big stream's bytes lie, to be read through the window.
void map_sectors(const std::vector<uint32_t>& sectors) {
    g.runs = runs_of(sectors);
    g.stream_size = g.runs.empty() ? 0 : g.runs.back().stream_at + g.runs.back().length;
}

// Fills the window from stream byte at onward; bytes the file no longer gives read as zero.
void load_window(uint64_t at) {
    uint64_t n = g.stream_size - at;
    if (n > kWindow) n = kWindow;
    g.stream.assign(n, 0);
    g.window_start = at;
    size_t k = 0, hi = g.runs.size();
    while (k + 1 < hi) {  // the last run starting at or before at
        size_t mid = (k + hi) / 2;
        if (g.runs[mid].stream_at <= at) k = mid; else hi = mid;
    }
    uint64_t done = 0;
    for (; k < g.runs.size() && done < n; ++k) {
        const Run& r = g.runs[k];
        uint64_t skip = at + done - r.stream_at;
        uint64_t take = r.length - skip;
        if (take > n - done) take = n - done;
        read_some(r.file_at + skip, g.stream.data() + done, take);
        done += take;
    }
}

bool name_is(const uint8_t* entry, const StreamName& n) {
    for (size_t i = 0; i < n.compared; ++i) {
        size_t c = i / 2;
        uint8_t want = (i % 2 == 0 && c < std::strlen(n.name)) ? static_cast<uint8_t>(n.name[c]) : 0;
        if (entry[i] != want) return false;
    }
    return true;
}

bool is_root(const uint8_t* entry) {
    static const StreamName root = {"Root Entry", 20, kBook};
    if (name_is(entry, root)) return true;
    // A root named "R", written in either byte order.
    return (entry[0] == 0x00 && entry[1] == 0x52 && entry[2] == 0 && entry[3] == 0) ||
           (entry[0] == 0x52 && entry[1] == 0x00 && entry[2] == 0 && entry[3] == 0);
}

bool gather_fat_sectors(ByteReader& head, uint32_t count, uint32_t difat) {
    uint32_t from_header = count < kHeaderFatSlots ? count : static_cast<uint32_t>(kHeaderFatSlots);
    for (uint32_t i = 0; i < from_header; ++i) {
        uint32_t s = head.u32_at(kDifatArray + 4 * i);
        if (s == kFree) return true;
        g.fat_pos.push_back(s);
    }
    if (count <= kHeaderFatSlots) return true;
    std::vector<uint8_t> sector(g.page);
    if (!read_sector(difat, sector.data())) return false;
    uint32_t left = count - static_cast<uint32_t>(kHeaderFatSlots);
    size_t at = 0;
    // The DIFAT chain is bounded by the count, itself bounded by the file's sectors.
    while (left > 0) {
        if (at >= g.page - 4) {
            uint32_t next = ByteReader(sector.data(), g.page).u32_at(g.page - 4);
            if (!read_sector(next, sector.data())) return false;
            at = 0;
        }
        uint32_t s = ByteReader(sector.data(), g.page).u32_at(at);
        if (s == kFree) break;
        g.fat_pos.push_back(s);
        at += 4;
        --left;
    }
    return true;
}

bool read_fat() {
    g.fat.assign(static_cast<size_t>(g.fat_pos.size()) * (g.page / 4), 0);
    std::vector<uint8_t> sector(g.page);
    size_t k = 0;
    for (uint32_t s : g.fat_pos) {
        if (!read_sector(s, sector.data())) return false;
        ByteReader r(sector.data(), g.page);
        for (uint32_t i = 0; i < g.page / 4; ++i) g.fat[k++] = r.u32();
    }
    return true;
}

bool read_directory(uint32_t first, std::vector<uint8_t>& dir) {
    std::vector<bool> seen(g.fat.size());
    uint32_t s = first;
    while (dir.size() < g.small_cutoff) {
        size_t old = dir.size();
        dir.resize(old + g.page);
        if (!read_sector(s, dir.data() + old)) return false;
        if (s >= g.fat.size()) break;
        seen[s] = true;
        s = g.fat[s];
        if (s >= g.fat.size() || seen[s]) break;
    }
    return true;
}

// A stream in the mini stream, read whole: each mini sector is found through the root's
// chain of container sectors.
bool read_small_stream(uint32_t root_storage) {
    std::vector<uint32_t> mini_sectors = chain_of(root_storage);
    uint32_t s = g.biff_start;
    if (s >= g.root_fat.size()) return true;
    std::vector<bool> seen(g.root_fat.size());
    while (true) {
        if (seen[s]) return false;
        seen[s] = true;
        uint64_t pos = static_cast<uint64_t>(s) * g.small_page;
        uint64_t index = pos / g.page;
        if (index >= mini_sectors.size() || g.stream.size() >= g.small_cutoff) return false;
        size_t old = g.stream.size();
        g.stream.resize(old + g.small_page);
        size_t got = read_some(sector_offset(mini_sectors[index]) + pos % g.page, g.stream.data() + old, g.small_page);
        g.stream.resize(old + got);
        if (got == 0) return false;
        uint32_t next = g.root_fat[s];
        if (next >= g.root_fat.size()) return true;
        s = next;
    }
}

bool read_mini_fat(uint32_t first) {
    std::vector<uint32_t> sectors = chain_of(first);
    g.root_fat.assign(sectors.size() * (g.page / 4), 0);
    std::vector<uint8_t> sector(g.page);
    size_t k = 0;
    for (uint32_t s : sectors) {
        if (!read_sector(s, sector.data())) return false;
        ByteReader r(sector.data(), g.page);
        for (uint32_t i = 0; i < g.page / 4; ++i) g.root_fat[k++] = r.u32();
    }
    return true;
}

bool starts_with(const std::vector<uint8_t>& bytes, size_t at, const uint8_t* pattern) {
    return at + 8 <= bytes.size() && std::memcmp(bytes.data() + at, pattern, 8) == 0;
}

uint64_t stream_size() { return g.runs.empty() ? g.stream.size() : g.stream_size; }

// Looks for a workbook's first record in every chain that nothing points to, in ascending
// order of their first sectors. A sector searched once is not searched again through another
// head, which keeps the scan linear in the file's size however the chains merge.
bool recovery_scan() {
    g.small_pages = 0;
    g.biff_bias = 0;
    size_t n = g.fat.size();
    std::vector<bool> pointed(n);
    for (uint32_t e : g.fat)
        if (e < n) pointed[e] = true;
    std::vector<bool> searched(n);
    for (uint32_t head = 0; head < n; ++head) {
        uint32_t e = g.fat[head];
        if (e == kFree || e == kFatMark || pointed[head] || searched[head]) continue;
        std::vector<uint32_t> sectors;
        for (uint32_t s = head; s < n && !searched[s]; s = g.fat[s]) {
            searched[s] = true;
            sectors.push_back(s);
        }
        std::vector<uint8_t> bytes;
        append_sectors(sectors, bytes);
        g.runs.clear();
        g.window_start = 0;
        for (const uint8_t* pattern : {kBof5, kBof8}) {
            for (size_t at = 0; at + 8 <= bytes.size(); ++at) {
                if (bytes[at] != pattern[0] || !starts_with(bytes, at, pattern)) continue;
                size_t k = at / g.page;
                g.biff_start = sectors[k];
                g.biff_bias = static_cast<uint32_t>(at % g.page);
                g.stream.assign(bytes.begin() + static_cast<std::ptrdiff_t>(k * g.page), bytes.end());
                g.pos = g.biff_bias;
                return true;
            }
        }
    }
    return false;
}

// Copies the stream to a temporary file named after TMP or TEMP and hands it to the reader of
// its format; the sheet is whatever that reader makes.
void hand_over(const StreamName& stream, const char* path) {
    std::string dir;
    if (const char* t = std::getenv("TMP"))
        dir = t;
    else if (const char* t2 = std::getenv("TEMP"))
        dir = t2;
    else
        dir = "\\";
    if (dir.size() > 256) dir.resize(256);
    std::string temp = dir + "K7RZ" + stream.temp_name;
    FILE* out = vxs_create_output_file(temp.c_str());
    if (!out) return;
    uint64_t n = g.biff_length < stream_size() ? g.biff_length : stream_size();
    for (uint64_t at = 0; at < n;) {
        std::span<const uint8_t> part = xls_stream_span(at, n - at < kWindow ? n - at : kWindow);
        std::fwrite(part.data(), 1, part.size(), out);
        at += part.size();
    }
    std::fclose(out);
    xls_deallocate_mem();
    // The receiving format names the user's file through its own setter where it has one.
    (stream.set_file ? stream.set_file : vxs_set_container_file)(path);
    // The copy goes even when the receiving reader ends the run (a name listing, too much data).
    struct RemoveCopy {
        const std::string& name;
        ~RemoveCopy() { std::remove(name.c_str()); }
    } remove_copy{temp};
    if (stream.read) stream.read(temp.c_str());
    errno = 0;
}

int open_container(const uint8_t* header, const char* path) {
    ByteReader head(header, 512);
    uint32_t shift = head.u16_at(kSectorShift);
    uint32_t mini_shift = head.u16_at(kMiniShift);
    // Real files use 512- or 4096-byte sectors; anything far outside is a corrupt header.
    if (shift < 7 || shift > 16 || mini_shift > shift) return 1;
    g.page = 1u << shift;
    g.small_page = 1u << mini_shift;
    g.small_cutoff = head.u32_at(kCutoff);
    uint32_t fat_count = head.u32_at(kFatCount);
    uint32_t dir_start = head.u32_at(kDirStart);
    uint32_t mini_fat_start = head.u32_at(kMiniFatStart);
    uint32_t difat_start = head.u32_at(kDifatStart);

    // A FAT cannot have more sectors than the file holds.
    if (fat_count > g.file_size / g.page) return 1;
    if (!gather_fat_sectors(head, fat_count, difat_start) || g.fat_pos.empty()) return 1;
    if (!read_fat()) return 1;

    std::vector<uint8_t> dir;
    if (!read_directory(dir_start, dir)) return 1;
    if (dir.size() < kDirEntry || !is_root(dir.data())) return 1;
    uint32_t root_storage = ByteReader(dir.data(), dir.size()).u32_at(kEntryStart);

    std::vector<StreamName> names(std::begin(kNames), std::end(kNames));
    for (const VxsHandOver& f : g_hand_over)
        names.push_back({f.stream->name, f.stream->compared, kHandOver, f.stream->temp_name, f.read, f.stream->set_file});
    const StreamName* found = nullptr;
    size_t entry = kDirEntry;
    for (; entry + kDirEntry <= dir.size() && !found; entry += kDirEntry)
        for (const StreamName& n : names)
            if (name_is(dir.data() + entry, n)) {
                found = &n;
                break;
            }
    if (!found) return 1;
    entry -= kDirEntry;
    if (found->kind == kWorkbook) xls_ver_97 = 1;

    ByteReader e(dir.data() + entry, kDirEntry);
    g.biff_start = e.u32_at(kEntryStart);
    g.biff_length = e.u32_at(kEntrySize);
    if (g.biff_length == 0 || g.biff_length == kFree || g.biff_length > XLS_STREAM_LIMIT) return 1;

    if (g.biff_length >= g.small_cutoff && g.biff_start < g.fat.size()) {
        g.small_pages = 0;
        map_sectors(chain_of(g.biff_start));
        if (g.stream_size == 0) return 1;
    } else {
        g.small_pages = 1;
        if (mini_fat_start == 0 || mini_fat_start >= g.fat.size()) return 1;
        if (!read_mini_fat(mini_fat_start)) return 1;
        if (!read_small_stream(root_storage)) return 1;
    }
    g.pos = 0;

    if (found->kind != kBook && found->kind != kWorkbook) {
        hand_over(*found, path);
        return 1;
    }
    std::span<const uint8_t> first = xls_stream_span(0, 8);
    if (first.size() == 8 && std::memcmp(first.data(), xls_ver_97 ? kBof8 : kBof5, 8) == 0) return 0;
    g.stream.clear();
    return recovery_scan() ? 0 : 1;
}

}  // namespace

int open_xls_file(const char* path) {
    xls_deallocate_mem();
    xls_ver_2 = xls_ver_34 = xls_ver_97 = 0;
    g.in = std::fopen(path, "rb");
    if (!g.in) return 1;
    if (std::fseek(g.in, 0, SEEK_END) == 0) {
        long end = std::ftell(g.in);
        g.file_size = end > 0 ? static_cast<uint64_t>(end) : 0;
    }
    uint8_t header[512] = {};
    size_t got = read_some(0, header, sizeof header);
    if (got == 0) return 1;
    if (!xls_is_container(header, got)) {
        if (got < 8) return 1;
        int version = xls_bare_version(header, got);
        if (version == 0) return 1;
        xls_ver_34 = 1;
        xls_ver_2 = version == 2;
        // A bare worksheet is one record sequence from the start of the file.
        g.stream.resize(g.file_size);
        g.stream.resize(read_some(0, g.stream.data(), g.stream.size()));
        g.pos = 0;
        return 0;
    }
    return open_container(header, path);
}

int readb(void* dest, long n, int16_t* err_flag) {
    if (n < 1) return 0;
    size_t want = static_cast<size_t>(n);
    size_t take = 0;
    while (take < want) {
        std::span<const uint8_t> part = xls_stream_span(g.pos, want - take < kWindow ? want - take : kWindow);
        if (part.empty()) break;
        if (dest) std::memcpy(static_cast<uint8_t*>(dest) + take, part.data(), part.size());
        g.pos += part.size();
        take += part.size();
    }
    if (take < want) {
        if (err_flag) *err_flag = 1;
        return 1;
    }
    return 0;
}

int readc(void* dest, long n, long* used, uint16_t* rec_len, int16_t* err_flag) {
    uint8_t* out = static_cast<uint8_t*>(dest);
    while (n > 0 && *used + n > *rec_len) {
        long part = *rec_len - *used;
        if (part > 0) {
            if (readb(out, part, err_flag)) return 1;
            if (out) out += part;
            n -= part;
        }
        uint8_t head[4];
        if (readb(head, 4, err_flag)) return 1;
        ByteReader r(head, 4);
        if (r.u16() != 0x003C) return 1;
        *rec_len = r.u16();
        if (xls_in_label) {
            if (readb(nullptr, 1, err_flag)) return 1;
            *used = 1;
        } else {
            *used = 0;
        }
    }
    if (n > 0) {
        if (readb(out, n, err_flag)) return 1;
        *used += n;
    }
    return 0;
}

int get_abs_biff_page(long offset) {
    if (offset < 0 || static_cast<uint64_t>(offset) > stream_size()) {
        g.pos = stream_size();
        return 1;
    }
    g.pos = static_cast<size_t>(offset);
    return 0;
}

void xls_deallocate_mem() {
    if (g.in) std::fclose(g.in);
    g = CdfState{};
    xls_in_label = 0;
}

size_t xls_stream_size() { return stream_size(); }
std::span<const uint8_t> xls_stream_span(size_t pos, size_t n) {
    uint64_t size = stream_size();
    if (pos >= size) return {};
    if (n > size - pos) n = size - pos;
    if (pos < g.window_start || pos + n > g.window_start + g.stream.size()) load_window(pos);
    return {g.stream.data() + (pos - g.window_start), n};
}
size_t xls_stream_pos() { return g.pos; }
void xls_set_stream_pos(size_t pos) { g.pos = pos <= stream_size() ? pos : stream_size(); }

const char* vxs_container_file() { return g_container_file.c_str(); }
void vxs_set_container_hand_over(std::vector<VxsHandOver> formats) {
    g_hand_over = std::move(formats);
}
void vxs_set_container_file(const char* path) { g_container_file = path ? path : ""; }

std::string vxs_take_shown_name(const std::string& own_path) {
    std::string shown = g_container_file.empty() ? own_path : g_container_file;
    g_container_file.clear();
    return shown;
}

int xls_bare_version(const uint8_t* head, size_t n) {
    if (n < 8) return 0;
    for (const BareMagic& m : kBareMagic)
        if (std::memcmp(head, m.bytes, 8) == 0) return m.version;
    return 0;
}

bool xls_is_container(const uint8_t* head, size_t n) {
    return n >= sizeof kSignature && std::memcmp(head, kSignature, sizeof kSignature) == 0;
}
