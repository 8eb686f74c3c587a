// What the program says about itself: its version and the list of formats it knows.
#pragma once

#include <string>
#include <vector>

// One format as --formats lists it.
struct VxsFormatLine {
    std::string name;
    bool read = false;        // a reader is built
    bool write = false;       // a writer is built
    bool by_content = false;  // recognised from the file's bytes, not only from its name
    std::vector<std::string> extensions;  // "any other" for the writer that takes the rest
    std::vector<int32_t> types;           // the file type codes the line stands for
};

// One line per format, generated from the format table.
std::vector<VxsFormatLine> vxs_format_lines();
// The --formats listing: "Supported Formats:" and a line "  name (flags): extensions" each.
std::string vxs_formats_text();
// "morvalen <version>\n".
std::string vxs_version_text();
