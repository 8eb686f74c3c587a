// IBM System/370 doubles of the transport format: golden bytes, range limits, missing codes, round trips.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "statpack/vxs_sas.h"

static std::string to_xpt(double v) {
    unsigned char b[8];
    return sas_dbl_to_xport(v, b), std::string(reinterpret_cast<char*>(b), 8);
}
// The value of 8 bytes and the status of reading them (0: an overflow marker, rewritten in b).
static std::pair<double, int> from_xpt(std::string& b) {
    double v = 0;
    const int status = sas_xport_to_dbl(reinterpret_cast<unsigned char*>(b.data()), &v);
    return {v, status};
}
static double from_xpt(std::string&& b) { return from_xpt(b).first; }
static std::string hex(const char* h) {  // "41 10 00 ..."
    std::string b;
    for (size_t i = 0; i + 1 < std::strlen(h); i += 3) b += char(std::stoi(std::string(h + i, 2), nullptr, 16));
    return b;
}

static const char *TOO_LARGE = "7F FF FF FF FF FF FF FF", *TOO_SMALL = "FF FF FF FF FF FF FF FF";
const double LARGEST = std::ldexp(1.0, 249) * (1 - std::ldexp(1.0, -53));  // the largest exponent kept

TEST(XptIbm, GoldenBytesMissingCodesAndOverflowMarkers) {
    // Worked out by hand (a fraction times a power of 16) and seen in files made by haven.
    const std::pair<double, const char*> cases[] = {
        {0.0, "00 00 00 00 00 00 00 00"}, {-0.0, "00 00 00 00 00 00 00 00"}, {1.0, "41 10 00 00 00 00 00 00"},
        {-1.0, "C1 10 00 00 00 00 00 00"}, {0.5, "40 80 00 00 00 00 00 00"}, {1.5, "41 18 00 00 00 00 00 00"},
        {100.0, "42 64 00 00 00 00 00 00"}, {1e10, "49 25 40 BE 40 00 00 00"}, {0.1, "40 19 99 99 99 99 99 9A"},
        {-118.625, "C2 76 A0 00 00 00 00 00"}, {std::ldexp(1.0, -260), "00 10 00 00 00 00 00 00"},  // the smallest magnitude
        {LARGEST, "7F 1F FF FF FF FF FF FF"},  // then out of range: the overflow markers
        {std::ldexp(1.0, 249), TOO_LARGE}, {-std::ldexp(1.0, 250), TOO_LARGE}, {1e300, TOO_LARGE},
        {std::numeric_limits<double>::infinity(), TOO_LARGE}, {std::ldexp(1.0, -261), TOO_SMALL},
        {-1e-300, TOO_SMALL}, {std::numeric_limits<double>::denorm_min(), TOO_SMALL},
    };
    for (const auto& [v, bytes] : cases) EXPECT_EQ(to_xpt(v), hex(bytes)) << v;
    // On reading: missing codes, overflow markers.
    for (char c : std::string("._ABCDEFGHIJKLMNOPQRSTUVWXYZ")) {
        std::string b = c + std::string(7, '\0');
        EXPECT_TRUE(std::isnan(from_xpt(b).first) && from_xpt(b).second == 1) << c;  // missing is no overflow
    }
    std::string small = hex(TOO_SMALL), next = hex("00 10 00 00 00 00 00 01");  // next: a value beside a marker, ordinary
    EXPECT_EQ(from_xpt(small), std::make_pair(0.0, 0));
    EXPECT_EQ(from_xpt(next), std::make_pair(std::ldexp(1.0 + std::ldexp(1.0, -52), -260), 1));
    for (const char* marker : {TOO_LARGE, "00 10 00 00 00 00 00 00", "80 10 00 00 00 00 00 00"}) {
        std::string b = hex(marker);
        auto [v, status] = from_xpt(b);
        EXPECT_TRUE(std::isnan(v) && status == 0) << marker;
        EXPECT_EQ(b, hex("2E 00 00 00 00 00 00 00")) << "marker bytes are rewritten to the missing value";
    }
}

TEST(XptIbm, PropertyIeeeToXptToIeeeIsExact) {
    std::mt19937_64 rng(20240517);
    for (int i = 0; i < 200000; ++i) {
        uint64_t bits = rng();
        double v;
        std::memcpy(&v, &bits, 8);
        const double m = std::fabs(v);
        if (!std::isfinite(v)) continue;
        if (m != 0 && (m < std::ldexp(1.0, -260) || m >= std::ldexp(1.0, 249))) {
            EXPECT_EQ(to_xpt(v), hex(m < 1 ? TOO_SMALL : TOO_LARGE));  // outside the range: a marker
            continue;
        }
        const double back = from_xpt(to_xpt(v));
        ASSERT_TRUE(back == v && std::signbit(back) == (v < 0)) << v;  // negative zero comes back as zero
    }
}

