// The directory part of a file-name argument, found by asking the file system.
#include "vxs_path.h"

#include <sys/stat.h>

size_t vxs_directory_part(const std::string& arg) {
    // From the last '/' back to the first: the first prefix that is a directory is the longest.
    for (size_t slash = arg.rfind('/'); slash != std::string::npos;
         slash = slash == 0 ? std::string::npos : arg.rfind('/', slash - 1)) {
        std::string prefix = arg.substr(0, slash + 1);
        struct stat st;
        if (stat(prefix.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return slash + 1;
    }
    return 0;
}

void vxs_options_in_file_name(std::string& arg, const std::function<void(std::string&)>& parse) {
    size_t dir = vxs_directory_part(arg);
    std::string file = arg.substr(dir);
    parse(file);
    arg.resize(dir);
    arg += file;
}
