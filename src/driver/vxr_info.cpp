// --version and --formats. The format list is built from the format table's rows each
// time, so it cannot drift from what the program actually does.
#include "vxs_info.h"

#include <algorithm>

#include "vxs_formats.h"

#ifndef MORVALEN_VERSION
#error "MORVALEN_VERSION comes from the project version in CMakeLists.txt"
#endif

namespace {

// Delimited text has one code on the input side and another on the output side; they are
// one format to a user.
int32_t format_key(int32_t type) { return type == VXT_CSV ? VXT_TEXT : type; }

void add_extension(VxsFormatLine& line, const std::string& ext) {
    if (std::find(line.extensions.begin(), line.extensions.end(), ext) == line.extensions.end())
        line.extensions.push_back(ext);
}

VxsFormatLine& line_for(std::vector<VxsFormatLine>& lines, std::vector<int32_t>& keys, int32_t type,
                        const char* name) {
    int32_t key = format_key(type);
    auto at = std::find(keys.begin(), keys.end(), key);
    if (at != keys.end()) {
        VxsFormatLine& line = lines[static_cast<size_t>(at - keys.begin())];
        if (std::find(line.types.begin(), line.types.end(), type) == line.types.end())
            line.types.push_back(type);
        return line;
    }
    keys.push_back(key);
    VxsFormatLine line;
    line.name = name;
    line.types.push_back(type);
    lines.push_back(line);
    return lines.back();
}

void add_extensions(VxsFormatLine& line, const char* list) {
    std::string exts = list ? list : "";
    for (size_t pos = 0; pos < exts.size();) {
        size_t end = exts.find(' ', pos);
        if (end == std::string::npos) end = exts.size();
        if (end > pos) add_extension(line, exts.substr(pos, end - pos));
        pos = end + 1;
    }
}

}  // namespace

std::vector<VxsFormatLine> vxs_format_lines() {
    std::vector<VxsFormatLine> lines;
    std::vector<int32_t> keys;
    for (const VxsFormat& f : vxs_formats()) {
        VxsFormatLine& line = line_for(lines, keys, f.type, f.name);
        line.read = line.read || f.read != nullptr;
        line.write = line.write || f.write != nullptr;
        line.by_content = line.by_content || (f.by_content && (f.probe || f.weak_probe));
        add_extensions(line, f.input_extensions);
        if (f.type == VXT_TEXT)
            add_extension(line, "any other");
        else
            add_extensions(line, f.extensions);
    }
    return lines;
}

std::string vxs_formats_text() {
    // The layout of `ogr2ogr --formats`: name, capability flags in brackets, then details.
    std::string text = "Supported Formats:\n";
    for (const VxsFormatLine& line : vxs_format_lines()) {
        std::string flags = line.read && line.write ? "rw" : line.read ? "ro" : line.write ? "wo" : "--";
        if (line.by_content) flags += 'c';
        text += "  " + line.name + " (" + flags + "):";
        for (size_t i = 0; i < line.extensions.size(); ++i)
            text += (i ? ", " : " ") + line.extensions[i];
        if (line.extensions.empty()) text += " no usual extension";
        text += '\n';
    }
    return text;
}

std::string vxs_version_text() { return std::string("morvalen ") + MORVALEN_VERSION + "\n"; }
