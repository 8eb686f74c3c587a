// Samples cut anywhere read a whole sheet or nothing, never crash or end the run (sanitizers watch).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "driver/vxs_formats.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"
#include "test_util.h"

namespace {

const struct {
    const char* sample;  // under tests/data
    size_t step;         // bytes between cuts; 0: about forty cuts over the file
} kSamples[] = {
    {"spss/types_comp.sav", 7}, {"spss/types_unc_be.sav", 7}, {"spss/haven_byte.sav", 7}, {"stata/s105_be.dta", 5},
    {"stata/s110_le.dta", 5}, {"stata/foreign_v6.dta", 5}, {"gauss/matrix_small.fmt", 1}, {"gauss/dataset_v92.dat", 3},
    {"gauss/dataset_v96.dat", 3}, {"minitab/old_v10.mtw", 1}, {"minitab/old_v11.mtw", 1}, {"minitab/portable.mtp", 1},
    {"instat/trial.wor", 7}, {"epi/types.rec", 3}, {"systat/single.sys", 1}, {"systat/double.sys", 1},
    {"tablet/two_pages.ktb", 3}, {"weka/r_write_arff.arff", 3}, {"weka/weka_sparse.arff", 5},
    {"paradox/old_layout.db", 97}, {"paradox/pxlib_types.db", 211}, {"lotus/trial.wk1", 3}, {"lotus/trial.wq1", 3},
    {"lotus/book.wb2", 3}, {"lotus/bare.qpw", 1}, {"xlsx/trial_ss.xlsx", 0}, {"xlsx/repeats.ods", 0},
    {"xlsx/handmade.xlsx", 0}, {"readstat/haven.zsav", 0}, {"readstat/pspp.zsav", 0}, {"readstat/readstat.por", 0},
    {"readstat/haven_v8.dta", 0}, {"readstat/haven_v10.dta", 0}, {"readstat/haven_v12.dta", 0},
    {"readstat/haven_v13.dta", 0}, {"readstat/haven_v14.dta", 0}, {"readstat/haven_v15.dta", 0},
    {"readstat/pandas_114.dta", 0}, {"readstat/pandas_117.dta", 0}, {"readstat/pandas_118.dta", 0},
    {"readstat/pandas_119.dta", 0}, {"readstat/haven_v8.xpt", 0}, {"readstat/haven.sas7bdat", 0},
    {"readstat/readstat.sas7bdat", 0}, {"shape/polygonz.shp", 3}, {"mif/hand_objects.mif", 5},
    {"matlab/level4_A_3x2_nan.mat", 1}, {"matlab/level5_A_3x2_nan.mat", 7}, {"matlab/level5_int16_compressed.mat", 7},
};

// The reader is chosen by the whole file's signature and name, then given every cut.
TEST(CutFiles, EveryCutReadsAWholeSheetOrNothing) {
    ScratchDir dir;
    for (const auto& c : kSamples) {
        SCOPED_TRACE(c.sample);
        const std::string bytes = read_file(data_path(c.sample)),
                          path = dir.file("cut" + std::filesystem::path(c.sample).extension().string());
        ASSERT_FALSE(bytes.empty());
        write_file(path, bytes);
        const int32_t type = VX_Find_File_Type(path.c_str());
        ASSERT_TRUE(vxs_reader_available(type)) << type;
        for (size_t cut = 0; cut < bytes.size(); cut += c.step ? c.step : bytes.size() / 40 + 1) {
            fresh_run(dir.file("warn.err"));
            write_file(path, bytes.substr(0, cut));
            lastsheet = nullptr;
            int16_t ok = 0;
            stdout_of([&] {
                try {
                    ok = open_file(path.c_str(), type);
                } catch (const VxsFatal& fatal) {
                    ADD_FAILURE() << "cut at " << cut << " ended the run with status " << fatal.status;
                }
            });
            if (vxs_warn_out) std::fclose(vxs_warn_out), vxs_warn_out = nullptr;
            for (size_t k = 1; ok && lastsheet && k < lastsheet->cols.size(); ++k)
                ASSERT_EQ(lastsheet->cols[k]->value_count(), size_t(lastsheet->row_count)) << "cut at " << cut;
        }
    }
}

}  // namespace
