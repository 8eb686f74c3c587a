// IBM System/370 double conversions of the transport format: golden bytes, the range limits,
// the missing codes and overflow markers, and ieee -> xpt -> ieee over random doubles.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "statpack/vxs_sas.h"

namespace {

using Bytes = std::string;

Bytes to_xpt(double v) {
    unsigned char b[8];
    sas_dbl_to_xport(v, b);
    return Bytes(reinterpret_cast<char*>(b), 8);
}

Bytes hex(const char* h) {
    Bytes b;
    for (size_t i = 0; h[i] && h[i + 1]; i += (h[i + 2] == ' ' ? 3 : 2))
        b += static_cast<char>(std::stoi(std::string(h + i, 2), nullptr, 16));
    return b;
}

double from_xpt(Bytes b, int* status = nullptr) {
    double v = 0;
    int s = sas_xport_to_dbl(reinterpret_cast<unsigned char*>(b.data()), &v);
    if (status) *status = s;
    return v;
}

uint64_t bits_of(double v) {
    uint64_t b;
    std::memcpy(&b, &v, 8);
    return b;
}

TEST(XptIbm, GoldenBytes) {
    // Values worked out by hand (fraction times a power of 16) and seen in files made by haven.
    EXPECT_EQ(to_xpt(0.0), hex("00 00 00 00 00 00 00 00"));
    EXPECT_EQ(to_xpt(1.0), hex("41 10 00 00 00 00 00 00"));
    EXPECT_EQ(to_xpt(-1.0), hex("C1 10 00 00 00 00 00 00"));
    EXPECT_EQ(to_xpt(0.5), hex("40 80 00 00 00 00 00 00"));
    EXPECT_EQ(to_xpt(1.5), hex("41 18 00 00 00 00 00 00"));
    EXPECT_EQ(to_xpt(100.0), hex("42 64 00 00 00 00 00 00"));
    EXPECT_EQ(to_xpt(1e10), hex("49 25 40 BE 40 00 00 00"));
    EXPECT_EQ(to_xpt(0.1), hex("40 19 99 99 99 99 99 9A"));
    EXPECT_EQ(to_xpt(-118.625), hex("C2 76 A0 00 00 00 00 00"));
}

TEST(XptIbm, ZeroAndNegativeZero) {
    int status = -1;
    double z = from_xpt(hex("00 00 00 00 00 00 00 00"), &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(bits_of(z), 0u);  // +0
    EXPECT_EQ(to_xpt(-0.0), hex("00 00 00 00 00 00 00 00"));
}

TEST(XptIbm, IntegersAreExact) {
    for (double v = 1; v < 9.1e15; v = v * 3 + 1) {
        EXPECT_EQ(from_xpt(to_xpt(v)), v);
        EXPECT_EQ(from_xpt(to_xpt(-v)), -v);
    }
    for (int i = -1000; i <= 1000; ++i) EXPECT_EQ(from_xpt(to_xpt(i)), double(i));
    double big = 9007199254740991.0;  // 2^53 - 1: every bit of the fraction used
    EXPECT_EQ(from_xpt(to_xpt(big)), big);
}

TEST(XptIbm, SmallestAndLargestMagnitudes) {
    double smallest = std::ldexp(1.0, -260);
    EXPECT_EQ(to_xpt(smallest), hex("00 10 00 00 00 00 00 00"));
    // Just under 2^249: the largest exponent the conversion keeps.
    double largest = std::ldexp(1.0, 249) * (1 - std::ldexp(1.0, -53));
    EXPECT_EQ(to_xpt(largest), hex("7F 1F FF FF FF FF FF FF"));
    EXPECT_EQ(from_xpt(to_xpt(largest)), largest);
    EXPECT_EQ(from_xpt(to_xpt(-largest)), -largest);
    EXPECT_EQ(from_xpt(to_xpt(std::ldexp(1.0, 248))), std::ldexp(1.0, 248));
    double tiny = std::ldexp(1.5, -260);
    EXPECT_EQ(from_xpt(to_xpt(tiny)), tiny);

    // Out of range: the overflow markers.
    EXPECT_EQ(to_xpt(std::ldexp(1.0, 249)), hex("7F FF FF FF FF FF FF FF"));
    EXPECT_EQ(to_xpt(-std::ldexp(1.0, 250)), hex("7F FF FF FF FF FF FF FF"));
    EXPECT_EQ(to_xpt(1e300), hex("7F FF FF FF FF FF FF FF"));
    EXPECT_EQ(to_xpt(std::numeric_limits<double>::infinity()), hex("7F FF FF FF FF FF FF FF"));
    EXPECT_EQ(to_xpt(std::ldexp(1.0, -261)), hex("FF FF FF FF FF FF FF FF"));
    EXPECT_EQ(to_xpt(-1e-300), hex("FF FF FF FF FF FF FF FF"));
    EXPECT_EQ(to_xpt(std::numeric_limits<double>::denorm_min()), hex("FF FF FF FF FF FF FF FF"));
}

TEST(XptIbm, MissingCodesBecomeNaN) {
    std::string codes = "._";
    for (char c = 'A'; c <= 'Z'; ++c) codes += c;
    for (char c : codes) {
        unsigned char in[8] = {static_cast<unsigned char>(c), 0, 0, 0, 0, 0, 0, 0};
        unsigned char out[8];
        xpt2ieee(in, out);
        EXPECT_EQ(out[0], 0xFF);
        EXPECT_EQ(out[1], 0xFF);
        EXPECT_EQ(out[2], static_cast<unsigned char>(~c));
        int status = -1;
        EXPECT_TRUE(std::isnan(from_xpt(Bytes(reinterpret_cast<char*>(in), 8), &status))) << c;
        EXPECT_EQ(status, 1);  // a missing value is not an overflow
    }
}

TEST(XptIbm, OverflowMarkersOnReading) {
    int status = -1;
    EXPECT_EQ(from_xpt(hex("FF FF FF FF FF FF FF FF"), &status), 0.0);
    EXPECT_EQ(status, 0);
    for (const char* marker : {"7F FF FF FF FF FF FF FF", "00 10 00 00 00 00 00 00", "80 10 00 00 00 00 00 00"}) {
        Bytes b = hex(marker);
        double v = 0;
        status = sas_xport_to_dbl(reinterpret_cast<unsigned char*>(b.data()), &v);
        EXPECT_EQ(status, 0) << marker;
        EXPECT_TRUE(std::isnan(v)) << marker;
        EXPECT_EQ(b, hex("2E 00 00 00 00 00 00 00")) << "marker bytes are rewritten to the missing value";
    }
    // A value next to a marker is ordinary.
    EXPECT_EQ(from_xpt(hex("00 10 00 00 00 00 00 01"), &status), std::ldexp(1.0 + std::ldexp(1.0, -52), -260));
    EXPECT_EQ(status, 1);
}

TEST(XptIbm, TruncatedFractionReadsWithZeroLowBytes) {
    // A numeric stored in 3 bytes: the rest of the fraction is zero.
    Bytes third = to_xpt(1.0 / 3.0);
    Bytes cut = third.substr(0, 3) + Bytes(5, '\0');
    EXPECT_EQ(from_xpt(cut), 21845.0 / 65536.0);  // 0x5555 / 16^4
}

TEST(XptIbm, PropertyIeeeToXptToIeeeIsExact) {
    std::mt19937_64 rng(20240517);
    int checked = 0;
    for (int i = 0; i < 200000; ++i) {
        uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, 8);
        if (!std::isfinite(v)) continue;
        double m = std::fabs(v);
        if (m != 0 && (m < std::ldexp(1.0, -260) || m >= std::ldexp(1.0, 249))) {
            // Outside the range every value becomes a marker.
            Bytes x = to_xpt(v);
            EXPECT_TRUE(x == hex("7F FF FF FF FF FF FF FF") || x == hex("FF FF FF FF FF FF FF FF"));
            continue;
        }
        ASSERT_EQ(bits_of(from_xpt(to_xpt(v))), bits_of(v == 0 ? 0.0 : v)) << v;
        ++checked;
    }
    // Values spread over the whole representable range, not only the bit patterns above.
    std::uniform_real_distribution<double> mant(1.0, 2.0);
    std::uniform_int_distribution<int> expo(-260, 248);
    for (int i = 0; i < 200000; ++i) {
        double v = std::ldexp(mant(rng), expo(rng)) * (i % 2 ? -1 : 1);
        ASSERT_EQ(from_xpt(to_xpt(v)), v) << v;
        ++checked;
    }
    EXPECT_GT(checked, 200000);
}

}  // namespace
