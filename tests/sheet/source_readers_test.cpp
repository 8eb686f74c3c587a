// A data set read from memory reads as from its files, with or without companions.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "driver/vxs_formats.h"
#include "driver/vxs_options.h"
#include "gis/vxr_gis.h"
#include "gis/vxr_mif.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_source.h"
#include "statpack/vxr_gauss.h"
#include "statpack/vxr_mstat.h"
#include "statpack/vxr_readstat.h"
#include "test_util.h"

namespace {

// One row per way a reader takes its bytes (whole-contents readers: the source tests).
const struct {
    const char* sample;                   // main file under tests/data
    std::vector<const char*> companions;  // extensions of its companion files
    int16_t (*by_path)(const char*);
    int16_t (*by_source)(VxsSource&);
} kReaders[] = {
    {"shape/deleted_record.shp", {".shx", ".dbf"}, read_gis_shape_file, read_gis_shape_source},
    {"mif/hand_objects.mif", {".mid"}, read_mapinfo_file, read_mapinfo_source},
    {"gauss/trial89.dht", {".dat"}, read_gauss_into_sheet, read_gauss_source},
    {"gauss/matrix_v96_be.fmt", {}, read_gauss_into_sheet, read_gauss_source},
    {"mstat/trial.hdr", {".dat"}, read_mstat_into_sheet, read_mstat_source},
    {"spss/types_comp_be.sav", {}, read_spss_into_sheet, read_spss_source},
    {"epi/types.rec", {}, read_epi_into_sheet, read_epi_source},
    {"weka/r_write_arff.arff", {}, read_weka_into_sheet, read_weka_source},
    {"stata/s110_be.dta", {}, read_stata_into_sheet, read_stata_source},
    {"readstat/readstat.sas7bdat", {}, [](const char* p) { return read_readstat_into_sheet(p, ReadstatKind::Sas7bdat); },
     [](VxsSource& s) { return read_readstat_source(s, ReadstatKind::Sas7bdat); }},
};

// The status, printed text and whole sheet of one read, as text to compare.
std::string outcome(const std::function<int16_t()>& read) {
    vxs_release_sheets();
    vxs_init();
    vxs_reset_options();
    testing::internal::CaptureStdout();
    int16_t status = read();
    std::ostringstream out;
    out << "status " << status << "\nprinted " << testing::internal::GetCapturedStdout() << "\n";
    if (Sheet* s = status ? lastsheet : nullptr) {
        out << "rows " << s->row_count << " columns " << s->column_count << "\n";
        for (const auto& c : s->cols) {
            out << c->type << " " << c->name << " w" << c->width << ":";
            for (double v : c->num) out << " " << v;
            if (c->is_text())
                for (size_t i = 0; i < c->text.size(); ++i) out << " '" << c->text.get(i) << "'";
            for (const auto& l : c->labels) out << " L" << l;
            out << "\n";
        }
    }
    return out.str();
}

TEST(SourceReaders, MemoryDataSetReadsAsItsFilesWithAndWithoutCompanions) {
    for (const auto& c : kReaders) {
        for (bool with_companions : {true, false}) {
            if (!with_companions && c.companions.empty()) continue;
            SCOPED_TRACE(std::string(c.sample) + (with_companions ? "" : " alone"));
            ScratchDir dir;
            const std::string sample = data_path(c.sample), main_bytes = read_file(sample);
            const std::string main_name = dir.file("set" + sample.substr(vxs_path_stem(sample).size()));
            write_file(main_name, main_bytes);
            std::vector<std::string> bytes;  // kept alive for the memory parts
            std::vector<VxsPart> parts;
            for (const char* e : with_companions ? c.companions : std::vector<const char*>{})
                write_file(dir.file(std::string("set") + e), bytes.emplace_back(read_file(vxs_path_stem(sample) + e)));
            for (size_t i = 0; i < bytes.size(); ++i) parts.push_back({c.companions[i], bytes[i]});
            std::string from_file = outcome([&] { return c.by_path(main_name.c_str()); });
            VxsSource src = VxsSource::memory(main_bytes, main_name, parts);
            EXPECT_EQ(outcome([&] { return c.by_source(src); }), from_file);
            EXPECT_TRUE(!with_companions || from_file.find("status 1") != std::string::npos) << from_file;
        }
    }
}

TEST(SourceReaders, CompanionMissingMessagesNameTheFileLookedFor) {
    for (auto [main, read, message] : {
             std::tuple{"dir/roads.shp", read_gis_shape_source, "Shape dBASE table dir/roads.DBF was not found"},
             {"dir/roads.mif", read_mapinfo_source, "MapInfo Data record file dir/roads.MID was not found"},
             {nullptr, read_gis_shape_source, "Shape File  was not found"}}) {  // null: a source not open
        VxsSource src = main ? VxsSource::memory("", main) : VxsSource();
        std::string got = outcome([&] { return read(src); });
        EXPECT_NE(got.find(message), std::string::npos) << got;
    }
}

}  // namespace
