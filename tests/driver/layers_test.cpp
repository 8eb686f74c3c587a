// The layers only point down: the sheet layer includes nothing above it, and no format module
// includes the driver (the driver's table joins the modules, not the other way round).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// The src/ folder (sheet, driver, statpack...) a quoted include of file names, or "" for a
// system header.
std::string included_folder(const fs::path& file, const std::string& line) {
    size_t open = line.find('"');
    if (line.rfind("#include", 0) != 0 || open == std::string::npos) return {};
    size_t close = line.find('"', open + 1);
    if (close == std::string::npos) return {};
    fs::path target = (file.parent_path() / line.substr(open + 1, close - open - 1)).lexically_normal();
    fs::path src = (fs::path(MORVALEN_SOURCE) / "src").lexically_normal();
    fs::path rel = target.lexically_relative(src);
    if (rel.empty() || *rel.begin() == "..") return "outside";
    return rel.begin()->string();
}

struct Include {
    std::string file;
    std::string folder;
};

std::vector<Include> includes_of(const std::string& folder_filter) {
    std::vector<Include> out;
    fs::path src = fs::path(MORVALEN_SOURCE) / "src";
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        if (!entry.is_regular_file()) continue;
        std::string ext = entry.path().extension().string();
        if (ext != ".cpp" && ext != ".h") continue;
        std::string folder = entry.path().lexically_relative(src).begin()->string();
        if (!folder_filter.empty() && folder != folder_filter) continue;
        std::ifstream in(entry.path());
        for (std::string line; std::getline(in, line);) {
            std::string to = included_folder(entry.path(), line);
            if (!to.empty()) out.push_back({entry.path().lexically_relative(src).string(), to});
        }
    }
    return out;
}

TEST(Layers, TheSheetLayerIncludesOnlyItself) {
    std::vector<Include> all = includes_of("sheet");
    ASSERT_FALSE(all.empty());
    for (const Include& i : all) EXPECT_EQ(i.folder, "sheet") << i.file;
}

TEST(Layers, NoFormatModuleIncludesTheDriver) {
    std::vector<Include> all = includes_of("");
    ASSERT_FALSE(all.empty());
    for (const Include& i : all) {
        if (i.file.rfind("driver/", 0) != 0) {
            EXPECT_NE(i.folder, "driver") << i.file;
        }
    }
}

}  // namespace
