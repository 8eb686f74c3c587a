// A one-line progress indicator on standard error for conversions of big inputs. It shows
// only when standard error is a terminal, so scripts, pipes and tests never see it, and it
// never touches standard output.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// Inputs above this many bytes get the indicator.
constexpr uint64_t VXS_PROGRESS_MIN_BYTES = 50ull * 1000 * 1000;

class VxsProgress {
public:
    // Starts the indicator when the input is big enough and standard error is a terminal;
    // otherwise the object does nothing.
    explicit VxsProgress(const std::string& input);
    ~VxsProgress();  // finish()
    VxsProgress(const VxsProgress&) = delete;
    VxsProgress& operator=(const VxsProgress&) = delete;

    // The reader is done; from now on the size of the file at path is shown, under the name
    // the user gave (the output, not its temporary name).
    void writing(const std::string& path, const std::string& shown_name);
    // Stops the indicator and clears its line (safe to call more than once).
    void finish();
    bool active() const { return thread_.joinable(); }

    // The line shown at a moment: reading (with the share of the input read so far when the
    // input is still open, else -1) or writing (bytes written so far).
    static std::string line(const std::string& name, bool writing, uint64_t total, int64_t done,
                            long seconds);

private:
    void run();
    std::string current_line(long seconds);

    std::string input_;
    std::string input_real_;  // the input's resolved path, to find it among the open files
    uint64_t input_size_ = 0;
    std::string output_;
    std::string output_shown_;
    bool writing_ = false;
    bool stop_ = false;
    size_t shown_ = 0;  // width of the last line drawn, to blank it out
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};
