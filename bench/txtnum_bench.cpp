// Text-to-number reading over a million typed cells, per tolerance mode, and date text written
// and read back at the same scale.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "driver/vxs_options.h"
#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"
#include "sheet/vxs_txtnum.h"

namespace {

constexpr size_t kCells = 1000000;

// A mix like a real typed column: plain numbers, decimal commas, thousands, junk, blanks.
const std::vector<std::string>& cells() {
    static const std::vector<std::string> all = [] {
        std::vector<std::string> v;
        v.reserve(kCells);
        char b[64];
        for (size_t i = 0; i < kCells; ++i) {
            switch (i % 8) {
                case 0: std::snprintf(b, sizeof b, "%zu", i); break;
                case 1: std::snprintf(b, sizeof b, "%zu.%02zu", i / 7, i % 100); break;
                case 2: std::snprintf(b, sizeof b, "%zu,%zu", i % 1000, i % 97); break;
                case 3: std::snprintf(b, sizeof b, "%zu,%03zu.5", i % 1000, i % 1000); break;
                case 4: std::snprintf(b, sizeof b, "-%zu.5e%zu", i % 100, i % 20); break;
                case 5: std::snprintf(b, sizeof b, " (%zu) ", i % 5000); break;
                case 6: std::snprintf(b, sizeof b, "%zukg", i % 300); break;
                default: std::snprintf(b, sizeof b, "*"); break;
            }
            v.emplace_back(b);
        }
        return v;
    }();
    return all;
}

void BM_TextToNumber(benchmark::State& state) {
    vxs_init();
    const auto& in = cells();
    vxs_parser_options().txt_to_num_mode = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        double sum = 0;
        int16_t changed = 0;
        for (const std::string& s : in) sum += vxs_spread_read_num_from_text(s.c_str(), -1e307, &changed) > 0;
        benchmark::DoNotOptimize(sum);
    }
    vxs_parser_options().txt_to_num_mode = 3;
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_TextToNumber)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_MissingText(benchmark::State& state) {
    vxs_init();
    const auto& in = cells();
    for (auto _ : state) {
        int n = 0;
        for (const std::string& s : in) n += vxs_is_missing_text(s.c_str());
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * in.size()));
}
BENCHMARK(BM_MissingText)->Unit(benchmark::kMillisecond);

void BM_DateWriteAndRead(benchmark::State& state) {
    vxs_init();
    const int32_t code = static_cast<int32_t>(state.range(0));
    char b[64];
    for (auto _ : state) {
        double sum = 0;
        for (size_t i = 0; i < kCells; ++i) {
            vxs_write_date(b, 20000.0 + static_cast<double>(i % 40000) + 0.25, 0, code);
            double v = 0;
            vxs_read_date(b, &v, 0, code, -1e307);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCells));
}
BENCHMARK(BM_DateWriteAndRead)->Arg(1)->Arg(27)->Arg(34)->Unit(benchmark::kMillisecond);

void BM_WriteNum(benchmark::State& state) {
    char b[64];
    for (auto _ : state) {
        size_t n = 0;
        for (size_t i = 0; i < kCells; ++i) {
            write_num(b, static_cast<double>(i) * 0.37, VXS_REP_FIXED, 2, -1e307);
            n += b[0];
        }
        benchmark::DoNotOptimize(n);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCells));
}
BENCHMARK(BM_WriteNum)->Unit(benchmark::kMillisecond);

}  // namespace
