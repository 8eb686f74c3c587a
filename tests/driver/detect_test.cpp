// Type detection: signatures no sample carries, in detection order, with near misses.
#include <gtest/gtest.h>

#include <string>

#include "driver/vxs_formats.h"
#include "test_util.h"

namespace {

std::string padded(std::string head, size_t n = 100, char fill = '\x01') { return head.resize(n, fill), head; }
template <size_t N>
std::string sig(const char (&bytes)[N]) { return padded(std::string(bytes, N - 1)); }

TEST(Detect, SignaturesOrderNamesAndPlainText) {
    const std::string bof("\0\0\x02\0", 4), mat5 = padded("MATLAB 5.0 MAT-file", 128, ' ');
    auto mark = [&](const char* m) { return std::string(mat5).replace(124, 4, std::string(m, 4)); };
    auto zero = [](std::string head) { return padded(std::move(head), 100, '\0'); };
    const std::string sas7 = patched(std::string(100, '\0'), 84, "SAS"), bin = padded("\x80\x81\x82", 100, '\x90');
    const struct {
        std::string bytes;
        int32_t type;
        const char* name = "file.dat";
        bool is = true;  // false: anything but type
    } cases[] = {
        {sig("\x03\x3E\x50\x51"), VXT_VSH}, {sig("\x51\x50\x3E\x03"), VXT_VSH}, {sig("\x03\x2D\x87\x03"), VXT_VSH},
        {sig("\x14\xAE\x2D\x03"), VXT_VSH}, {sig("\0S data\1"), VXT_SPLUS}, {sig("\x4B\x06\x1E\0\0\0\0\0"), VXT_SYSTAT},
        {sig("\xFF\xFF\xFF\xFF\0\0\0\0"), VXT_GAUSS}, {sig("\xDA\xDA"), VXT_GAUSS, "x.DHT"},
        {sig("\xDA\xDA"), VXT_GAUSS, "x.dat", false},  // that one needs the .DHT name
        {sig("\xDD\xDD\1\1\1\1\1\1\x86\0"), VXT_GAUSS}, {sig("\xDA\xEE\x05\0\0\0\0\0"), VXT_GAUSS},
        {sig("\xDD\xEE\x86\0"), VXT_GAUSS}, {sig("\0\0\0\0\xCA\xCA\xCA\xEE"), VXT_GAUSS},
        {sig("\1\1\1\1\1\0" "4.00/EV"), VXT_MSTAT}, {sig("\0\0\0\0\1\1\1\1\1\1\1\0\0\0\0"), VXT_MATLAB},
        {sig("\x09\x00\x04\x00\x07\x05\x10\x00"), VXT_XLS}, {sig("\x09\x00\x04\x00\x07\x00\x10\x00"), VXT_XLS},
        {sig("\x09\x04\x06\x00\x00\x00\x10\x00"), VXT_XLS}, {padded("@\r\n"), VXT_INSTAT},
        {sig("CSS \1\1\xFF\xFF"), VXT_STATISTICA5}, {sig("\0\x04\0\0\0\x01\0\0\0\x03\0\0\0"), VXT_STATISTICA6},
        {padded("SAS 6.04"), VXT_SAS}, {padded("header record*******library header record!!!!!!!000000"), VXT_XPORT},
        {sig("\x02\x10\x00\x05\x11\x50"), VXT_DBF},
        {padded(std::string("\x6F\x02\x01\x00", 4), 100, ' '), VXT_STATA},  // release 111
        {padded("ASCII SPSS PORT FILE                    \r\n", 100, ' '), VXT_SPSS_PORT},
        {padded(std::string("\x73\x01\x01\x00", 4), 100, ' '), VXT_STATA_NEW},  // release 115, big-endian
        {zero(bof + "\x01\x10"), VXT_WQ1}, {zero(bof + "\x02\x10"), VXT_WQ1},
        {zero(bof + "\x06\x10"), VXT_WK1},  // later notebooks come through the container
        {zero(std::string("\x01\0\x0E\0QPW\0", 8)), VXT_QPW}, {zero(std::string("\x01\0\x0E\0qPw\0", 8)), VXT_QPW, "x.csv"},
        {zero(std::string("\x01\0\x0E\0QPX\0", 8)), VXT_QPW, "x.dat", false},
        {zero(std::string("\x01\0\x0E\0QPWX", 8)), VXT_QPW, "x.dat", false},
        {mark("\x00\x01IM"), VXT_MATLAB, "x.mat"}, {mark("\x01\x00MI"), VXT_MATLAB, "x.mat"},
        {mark("\x00\x01XY"), VXT_CSV, "x.mat"}, {mark("\x00\x01IM").substr(0, 100), VXT_CSV, "x.mat"},
        // A level 4 header: type 0, 3 x 2, no imaginary part, name "A".
        {le_bytes(0, 4) + le_bytes(3, 4) + le_bytes(2, 4) + le_bytes(0, 4) + le_bytes(2, 4) + std::string("A\0", 2) +
             std::string(48, '\0'), VXT_MATLAB, "x.mat"},
        {sas7, VXT_MATLAB}, {patched(sas7, 12, "\1"), VXT_SASV8},  // Matlab first, unless bytes 11..14 are not zero
        {bin, VXT_DBF, "t.DBF"}, {bin, VXT_PDX, "t.db"}, {bin, VXT_SPLUS_TEXT, "t.sdd"}, {bin, VXT_EPI, "t.rec"},
        {bin, VXT_WEKA, "t.arff"}, {padded("version 300\n"), VXT_MIF, "m.MIF"}, {bin, VXT_UNKNOWN, "m.mif"},
        {bin, VXT_UNKNOWN, "t.xyz"}, {"a,b\n1,2\n", VXT_CSV, "data.xls"},
        {sig("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"), VXT_XLS, "data.csv"},  // bytes win over the name
        {"Name,Height\na,1.5\n", VXT_CSV}, {"Name,Height", VXT_UNKNOWN},  // short: with a line end, without
        {std::string(60, 'a'), VXT_CSV}, {"a\tb\fc\r\n", VXT_CSV}, {std::string("zz\x01zz\n", 6), VXT_UNKNOWN},  // 55 good
        {"caf\xC3\xA9,1\n", VXT_UNKNOWN}, {"\xEF\xBB\xBFName,Height\na,1.5\n", VXT_CSV},  // bytes from 128 up; UTF-8 mark
    };
    for (const auto& c : cases) {
        int32_t got = vxs_detect_bytes(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size(), c.name);
        EXPECT_EQ(got == c.type, c.is) << c.name << " " << c.bytes.substr(0, 20) << " detected as " << got;
    }
}

}  // namespace
