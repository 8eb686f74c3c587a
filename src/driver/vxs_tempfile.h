// The temporary output of a run: made afresh in the output's folder, moved onto the output by
// one rename when complete, and removed on every other way out of the run.
#pragma once

#include <sys/types.h>

#include <string>

// The temporary name of an output: the name with its extension (the part from the last '.'
// of its last path component) replaced by ".$$$", or ".$$$" appended (also to a name that
// already ends in ".$$$").
std::string vxs_temp_output_name(const std::string& output);
// The same, but never the file `input` itself (an input named like the temporary file would
// otherwise be removed by the run): ".$$$" is appended until the name is another file's.
std::string vxs_temp_output_name(const std::string& output, const std::string& input);

class VxsTempOutput {
public:
    explicit VxsTempOutput(std::string path) : path_(std::move(path)) {}
    ~VxsTempOutput() { discard(); }
    VxsTempOutput(const VxsTempOutput&) = delete;
    VxsTempOutput& operator=(const VxsTempOutput&) = delete;

    const std::string& path() const { return path_; }
    // Makes an empty file under the temporary name. Whatever stood there (a file left by an
    // earlier run, or a link) is removed, never written through; false when no new file of
    // our own could be made.
    bool create();
    // Moves the finished file onto the output name, replacing any old output at once.
    // False (and the temporary file removed) when the file under the temporary name is no
    // longer the one made by create() or the rename fails.
    bool commit(const std::string& output);
    // Removes the temporary file unless it was committed.
    void discard();

private:
    std::string path_;
    bool made_ = false;
    dev_t dev_ = 0;
    ino_t ino_ = 0;
};
