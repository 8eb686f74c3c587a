// Includes only point down: sheet includes only sheet, no module includes the driver.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

TEST(Layers, SheetIncludesOnlyItselfAndNoModuleIncludesTheDriver) {
    const fs::path src = (fs::path(MORVALEN_SOURCE) / "src").lexically_normal();
    int seen = 0;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        const fs::path& file = entry.path();
        if (!entry.is_regular_file() || (file.extension() != ".cpp" && file.extension() != ".h")) continue;
        const std::string from = file.lexically_relative(src).begin()->string();
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            size_t open = line.find('"'), close = line.find('"', open + 1);
            if (line.rfind("#include", 0) != 0 || close == std::string::npos) continue;  // system headers
            fs::path rel = (file.parent_path() / line.substr(open + 1, close - open - 1)).lexically_normal()
                               .lexically_relative(src);
            const std::string to = rel.empty() || *rel.begin() == ".." ? "outside" : rel.begin()->string();
            ++seen;
            EXPECT_TRUE(from != "sheet" || to == "sheet") << file << " includes " << to;
            EXPECT_TRUE(from == "driver" || to != "driver") << file << " includes the driver";
        }
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
