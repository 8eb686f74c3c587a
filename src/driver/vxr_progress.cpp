// The progress line is drawn by a helper thread that only reads file positions and sizes
// and writes to standard error; the conversion itself stays on the main thread.
#include "vxs_progress.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

std::string base_name(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string megabytes(uint64_t bytes) {
    char buf[32];
    if (bytes >= 1000ull * 1000 * 1000)
        std::snprintf(buf, sizeof buf, "%.1f GB", static_cast<double>(bytes) / 1e9);
    else
        std::snprintf(buf, sizeof buf, "%llu MB", static_cast<unsigned long long>(bytes / 1000000));
    return buf;
}

// How far this process has read into the file at real_path, from the position of the
// descriptor open on it; -1 when it is not open (read whole and closed, or not yet opened).
int64_t read_position(const std::string& real_path) {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int64_t pos = -1;
    while (dirent* e = readdir(dir)) {
        if (e->d_name[0] == '.') continue;
        char target[PATH_MAX];
        std::string link = std::string("/proc/self/fd/") + e->d_name;
        ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0 || real_path.compare(0, std::string::npos, target, static_cast<size_t>(n)) != 0) continue;
        std::ifstream info(std::string("/proc/self/fdinfo/") + e->d_name);
        std::string key;
        long long value = 0;
        while (info >> key >> value) {
            if (key == "pos:") {
                pos = std::max<int64_t>(pos, value);
                break;
            }
        }
    }
    closedir(dir);
    return pos;
}

}  // namespace

VxsProgress::VxsProgress(const std::string& input) : input_(input) {
    struct stat st;
    if (stat(input.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) <= VXS_PROGRESS_MIN_BYTES) return;
    if (!isatty(STDERR_FILENO)) return;
    input_size_ = static_cast<uint64_t>(st.st_size);
    if (char* real = realpath(input.c_str(), nullptr)) {
        input_real_ = real;
        std::free(real);
    }
    thread_ = std::thread(&VxsProgress::run, this);
}

VxsProgress::~VxsProgress() { finish(); }

void VxsProgress::writing(const std::string& path, const std::string& shown_name) {
    std::lock_guard<std::mutex> lock(mutex_);
    output_ = path;
    output_shown_ = base_name(shown_name);
    writing_ = true;
    wake_.notify_one();
}

void VxsProgress::finish() {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

std::string VxsProgress::line(const std::string& name, bool writing, uint64_t total, int64_t done,
                              long seconds) {
    std::string text = "morvalen: ";
    if (writing) {
        text += "writing " + name + ", " + megabytes(done > 0 ? static_cast<uint64_t>(done) : 0);
    } else {
        text += "reading " + name + ", ";
        if (done >= 0 && total > 0) {
            uint64_t pct = static_cast<uint64_t>(done) * 100 / total;
            text += std::to_string(pct > 100 ? 100 : pct) + "% of ";
        }
        text += megabytes(total);
    }
    return text + ", " + std::to_string(seconds) + " s";
}

std::string VxsProgress::current_line(long seconds) {
    std::string out, shown;
    bool writing;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        out = output_;
        shown = output_shown_;
        writing = writing_;
    }
    if (writing) {
        struct stat st;
        int64_t size = stat(out.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
        return line(shown, true, 0, size, seconds);
    }
    return line(base_name(input_), false, input_size_, read_position(input_real_), seconds);
}

void VxsProgress::run() {
    auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    // Drawn at least once, so even a conversion that fails at once shows what it was doing.
    for (bool first = true; first || !stop_; first = false) {
        lock.unlock();
        long seconds = static_cast<long>(
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count());
        std::string text = current_line(seconds);
        // Drawn from the line's start and left with the cursor back there, so a message that
        // the conversion prints meanwhile starts at the left margin over it.
        std::string draw = "\r" + text;
        if (text.size() < shown_) draw.append(shown_ - text.size(), ' ');
        draw += '\r';
        shown_ = text.size();
        std::fputs(draw.c_str(), stderr);
        std::fflush(stderr);
        lock.lock();
        wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return stop_; });
    }
    lock.unlock();
    std::string clear = "\r" + std::string(shown_, ' ') + "\r";
    std::fputs(clear.c_str(), stderr);
    std::fflush(stderr);
}
