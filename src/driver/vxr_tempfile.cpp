// The temporary output file: exclusive creation in the output's folder, commit by rename,
// removal on failure. A predictable name must not let anyone redirect the write, and a run that
// fails must leave an existing output exactly as it was.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "vxs_tempfile.h"

std::string vxs_temp_output_name(const std::string& output) {
    size_t slash = output.find_last_of('/');
    size_t dot = output.rfind('.');
    // A dot in a folder name is not an extension: the temporary file stays beside the output.
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return output + ".$$$";
    std::string temp = output.substr(0, dot) + ".$$$";
    // An output that already ends in ".$$$" must not be replaced before the new one is done.
    return temp == output ? output + ".$$$" : temp;
}

namespace {

bool same_file(const std::string& path, dev_t dev, ino_t ino) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_dev == dev &&
           st.st_ino == ino;
}

}  // namespace

std::string vxs_temp_output_name(const std::string& output, const std::string& input) {
    std::string temp = vxs_temp_output_name(output);
    struct stat in;
    if (::stat(input.c_str(), &in) != 0) return temp;
    for (struct stat st; ::stat(temp.c_str(), &st) == 0 && st.st_dev == in.st_dev && st.st_ino == in.st_ino;)
        temp += ".$$$";
    return temp;
}

bool VxsTempOutput::create() {
    discard();
    struct stat st;
    // unlink removes a link itself, never what it points to.
    if (::lstat(path_.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) ::unlink(path_.c_str());
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!ok) {
        ::unlink(path_.c_str());
        return false;
    }
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    made_ = true;
    errno = 0;
    return true;
}

bool VxsTempOutput::commit(const std::string& output) {
    if (!made_) return false;
    if (!same_file(path_, dev_, ino_)) {
        discard();
        return false;
    }
    // Replacing a file by rename makes ext4 write the new file's data back first, a pause of
    // tens of milliseconds on big outputs; exchanging the two names is as atomic and does not.
    // The temporary name then holds the old output, which goes.
    struct stat st;
    if (::lstat(output.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, output.c_str(), RENAME_EXCHANGE) == 0) {
        made_ = false;
        ::unlink(path_.c_str());
        return true;
    }
    if (std::rename(path_.c_str(), output.c_str()) != 0) {
        discard();
        return false;
    }
    made_ = false;
    return true;
}

void VxsTempOutput::discard() {
    if (!made_) return;
    made_ = false;
    ::unlink(path_.c_str());
}
