// Input type detection: one small file per signature, in detection order, with the
// order-sensitive cases.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "driver/vxs_formats.h"
#include "test_util.h"

namespace {

int32_t detect(const std::string& bytes, const char* name = "file.dat") {
    return vxs_detect_bytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), name);
}

std::string padded(std::string head, size_t n = 100, char fill = '\x01') {
    head.resize(n, fill);
    return head;
}
std::string sig(const char* bytes, size_t n) { return padded(std::string(bytes, n)); }

// One signature each, in detection order (in either byte order where a format has both).
// Signatures no sample file carries (those are checked in EverySampleFile below), in detection
// order, in either byte order where a format has both, and near misses of them.
TEST(Detect, SignaturesWithoutASample) {
    const std::string bof("\0\0\x02\0", 4);
    std::string mat5 = padded("MATLAB 5.0 MAT-file", 128, ' ');
    auto mark = [&](const char* m) { return std::string(mat5).replace(124, 4, std::string(m, 4)); };
    auto zero = [](std::string head) { return padded(std::move(head), 100, '\0'); };
    const struct {
        std::string bytes;
        int32_t type;
        const char* name = "file.dat";
        bool is = true;  // false: anything but type
    } cases[] = {
        {sig("\x03\x3E\x50\x51", 4), VXT_VSH}, {sig("\x51\x50\x3E\x03", 4), VXT_VSH},
        {sig("\x03\x2D\x87\x03", 4), VXT_VSH}, {sig("\x14\xAE\x2D\x03", 4), VXT_VSH},
        {sig("\0S data\1", 8), VXT_SPLUS}, {sig("\x4B\x06\x1E\0\0\0\0\0", 8), VXT_SYSTAT},
        {sig("\xFF\xFF\xFF\xFF\0\0\0\0", 8), VXT_GAUSS}, {sig("\xDA\xDA", 2), VXT_GAUSS, "x.DHT"},
        {sig("\xDA\xDA", 2), VXT_GAUSS, "x.dat", false},  // that one needs the .DHT name
        {sig("\xDD\xDD\1\1\1\1\1\1\x86\0", 10), VXT_GAUSS}, {sig("\xDA\xEE\x05\0\0\0\0\0", 8), VXT_GAUSS},
        {sig("\xDD\xEE\x86\0", 4), VXT_GAUSS}, {sig("\0\0\0\0\xCA\xCA\xCA\xEE", 8), VXT_GAUSS},
        {sig("\1\1\1\1\1\0" "4.00/EV", 13), VXT_MSTAT}, {sig("\0\0\0\0\1\1\1\1\1\1\1\0\0\0\0", 15), VXT_MATLAB},
        {sig("\x09\x00\x04\x00\x07\x05\x10\x00", 8), VXT_XLS}, {sig("\x09\x00\x04\x00\x07\x00\x10\x00", 8), VXT_XLS},
        {sig("\x09\x04\x06\x00\x00\x00\x10\x00", 8), VXT_XLS}, {padded("@\r\n"), VXT_INSTAT},
        {sig("CSS \1\1\xFF\xFF", 8), VXT_STATISTICA5}, {sig("\0\x04\0\0\0\x01\0\0\0\x03\0\0\0", 13), VXT_STATISTICA6},
        {padded("SAS 6.04"), VXT_SAS}, {padded("header record*******library header record!!!!!!!000000"), VXT_XPORT},
        {sig("\x02\x10\x00\x05\x11\x50", 6), VXT_DBF},
        {padded(std::string("\x6F\x02\x01\x00", 4), 100, ' '), VXT_STATA},  // release 111
        {padded("ASCII SPSS PORT FILE                    \r\n", 100, ' '), VXT_SPSS_PORT},
        {padded(std::string("\x73\x01\x01\x00", 4), 100, ' '), VXT_STATA_NEW},  // release 115, big-endian
        {zero(bof + "\x01\x10"), VXT_WQ1}, {zero(bof + "\x02\x10"), VXT_WQ1},
        {zero(bof + "\x06\x10"), VXT_WK1},  // later notebooks come through the container
        {zero(std::string("\x01\0\x0E\0QPW\0", 8)), VXT_QPW},
        {zero(std::string("\x01\0\x0E\0qPw\0", 8)), VXT_QPW, "x.csv"},
        {zero(std::string("\x01\0\x0E\0QPX\0", 8)), VXT_QPW, "x.dat", false},
        {zero(std::string("\x01\0\x0E\0QPWX", 8)), VXT_QPW, "x.dat", false},
        {mark("\x00\x01IM"), VXT_MATLAB, "x.mat"}, {mark("\x01\x00MI"), VXT_MATLAB, "x.mat"},
        {mark("\x00\x01XY"), VXT_CSV, "x.mat"}, {mark("\x00\x01IM").substr(0, 100), VXT_CSV, "x.mat"},
        // A level 4 header: type 0, 3 x 2, no imaginary part, name "A".
        {le_bytes(0, 4) + le_bytes(3, 4) + le_bytes(2, 4) + le_bytes(0, 4) + le_bytes(2, 4) + std::string("A\0", 2) +
             std::string(48, '\0'),
         VXT_MATLAB, "x.mat"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detect(c.bytes, c.name) == c.type, c.is) << c.name << " " << c.bytes.substr(0, 20);
}

TEST(Detect, OrderNamesAndPlainText) {
    std::string sas7(100, '\0');
    sas7.replace(84, 3, "SAS");
    std::string bin = padded(std::string("\x80\x81\x82", 3), 100, '\x90');
    const struct {
        std::string bytes;
        int32_t type;
        const char* name = "file.dat";
    } cases[] = {
        {sas7, VXT_MATLAB}, {patched(sas7, 12, "\1"), VXT_SASV8},  // Matlab first, unless bytes 11..14 are not zero
        {bin, VXT_DBF, "t.DBF"}, {bin, VXT_PDX, "t.db"}, {bin, VXT_SPLUS_TEXT, "t.sdd"}, {bin, VXT_EPI, "t.rec"},
        {bin, VXT_WEKA, "t.arff"}, {padded("version 300\n"), VXT_MIF, "m.MIF"}, {bin, VXT_UNKNOWN, "m.mif"},
        {bin, VXT_UNKNOWN, "t.xyz"},
        {sig("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8), VXT_XLS, "data.csv"},  // bytes win over the name
        {"a,b\n1,2\n", VXT_CSV, "data.xls"},
        {"Name,Height\na,1.5\n", VXT_CSV},  // short, with a line end
        {"Name,Height", VXT_UNKNOWN},         // short, no line end
        {std::string(60, 'a'), VXT_CSV},      // 55 good bytes pass
        {"a\tb\fc\r\n", VXT_CSV}, {std::string("zz\x01zz\n", 6), VXT_UNKNOWN},
        {"caf\xC3\xA9,1\n", VXT_UNKNOWN},                  // bytes from 128 up
        {"\xEF\xBB\xBFName,Height\na,1.5\n", VXT_CSV},  // UTF-8 byte-order mark
    };
    for (const auto& c : cases) EXPECT_EQ(detect(c.bytes, c.name), c.type) << c.name << " " << c.bytes.substr(0, 12);
}

// Every real sample file, detected by content and name as the driver does, against the type its
// extension stands for. Files of an extension not listed here are named, not failed, so a new
// format's samples show up until their row is added.
TEST(Detect, EverySampleFile) {
    ScratchDir dir;
    write_file(dir.file("empty"), "");
    EXPECT_EQ(VX_Find_File_Type(""), VXT_UNKNOWN);
    EXPECT_EQ(VX_Find_File_Type(dir.file("absent").c_str()), VXT_MISSING);
    EXPECT_EQ(VX_Find_File_Type(dir.file("empty").c_str()), VXT_MISSING);
    // By extension, then by folder and extension where one extension means several formats.
    const std::map<std::string, int32_t> expected = {
        {".csv", VXT_CSV},   {".tab", VXT_CSV},   {".txt", VXT_CSV},     {".vxc", VXT_CSV},
        {".expect", VXT_CSV}, {".py", VXT_CSV},   {".R", VXT_CSV},       {".sh", VXT_CSV},
        {".sps", VXT_CSV},   {".c", VXT_CSV},     {".mid", VXT_CSV},     {"README", VXT_CSV},
        {".vsh", VXT_VSH},   {".sav", VXT_SPSS},  {".dta", VXT_STATA},   {".xls", VXT_XLS},
        {".xpt", VXT_XPORT}, {".dbf", VXT_DBF},   {".wk1", VXT_WK1},     {".wq1", VXT_WQ1},
        {".wb1", VXT_WQ1},   {".wb2", VXT_WQ1},   {".wb3", VXT_XLS},
        {".qpw", VXT_XLS},  // a notebook inside a compound document
        {".shp", VXT_SHAPE}, {".shx", VXT_SHAPE}, {".bmp", VXT_BMP},     {".wav", VXT_WAV},
        {".mat", VXT_MATLAB}, {".db", VXT_PDX},   {".sys", VXT_SYSTAT},  {".fmt", VXT_GAUSS},
        {".dht", VXT_GAUSS}, {".arff", VXT_WEKA}, {".xlsx", VXT_XLSX},   {".ods", VXT_ODS},
        {".ktb", VXT_KELMORA}, {".mtw", VXT_MTW}, {".mtp", VXT_MTP},     {".mif", VXT_MIF},
        {".zsav", VXT_ZSAV}, {".sas7bdat", VXT_SASV8}, {".por", VXT_SPSS_PORT},
        {".wor", VXT_INSTAT}, {".rec", VXT_EPI},
        {"gauss/.dat", VXT_GAUSS}, {"readstat/.dta", VXT_STATA_NEW},
        {"readstat/.xpt", VXT_XPORT8},
    };
    // Files whose bytes say something else than their extension, on purpose.
    const std::map<std::string, int32_t> exceptions = {
        {"symmetric_v0.vsh", VXT_UNKNOWN},  // a version no package file carries
        {"bare.qpw", VXT_QPW},              // a notebook outside its compound document
        {"bad_bof.qpw", VXT_UNKNOWN},       {"lying_strings.qpw", VXT_QPW},
        {"far_cell.qpw", VXT_QPW},          {"beyond_grid.qpw", VXT_QPW},
        {"other_version.wb2", VXT_WK1},     // the Quattro version word damaged
        {"embedded14.mtw", VXT_XLS},        // a compound document, handed over by its stream
        // Companion files, converted through the file that names them.
        {"large89.dat", VXT_UNKNOWN}, {"trial89.dat", VXT_UNKNOWN}, {"ints89.dat", VXT_UNKNOWN},
        {"trial.dat", VXT_UNKNOWN},   {"trial.hdr", VXT_MSTAT},     {"pydbf_memo.dbt", VXT_UNKNOWN},
        {"stream14.bin", VXT_UNKNOWN},  // a bare worksheet stream as the container holds it
    };
    int checked = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(MORVALEN_DATA)) {
        if (!entry.is_regular_file()) continue;
        std::string path = entry.path().string();
        int32_t want = -1;
        if (auto e = exceptions.find(entry.path().filename().string()); e != exceptions.end())
            want = e->second;
        else if (auto d = expected.find(entry.path().parent_path().filename().string() + "/" +
                                        entry.path().extension().string());
                 d != expected.end())
            want = d->second;
        else if (auto x = expected.find(entry.path().has_extension() ? entry.path().extension().string()
                                                                     : entry.path().filename().string());
                 x != expected.end())
            want = x->second;
        if (want < 0) {
            std::printf("no expected type for %s\n", path.c_str());
            continue;
        }
        EXPECT_EQ(VX_Find_File_Type(path.c_str()), want) << path;
        ++checked;
    }
    EXPECT_GT(checked, 50);
}

}  // namespace
