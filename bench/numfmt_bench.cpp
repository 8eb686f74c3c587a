// Number formatting for text output over a million cells: writing each cell, and measuring
// its width alone (the sizing pass of an aligned or comma-delimited file), for the shapes of
// value real columns hold.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "sheet/vxs_dates.h"
#include "sheet/vxs_sheet.h"

namespace {

constexpr size_t kCells = 1000000;

// 0: measurements (about 50, many digits); 1: counts; 2: prices (two decimals);
// 3: small and large magnitudes.
std::vector<double> values(int shape) {
    std::mt19937_64 rng(42 + shape);
    std::normal_distribution<double> normal(50, 10);
    std::uniform_int_distribution<int> count(0, 5000);
    std::uniform_real_distribution<double> expo(-8, 12);
    std::vector<double> v(kCells);
    for (double& x : v) {
        switch (shape) {
            case 0: x = normal(rng); break;
            case 1: x = count(rng); break;
            case 2: x = count(rng) / 100.0; break;
            default: x = std::pow(10.0, expo(rng)) * (count(rng) % 2 ? 1 : -1); break;
        }
    }
    return v;
}

void BM_WriteNum(benchmark::State& state) {
    const std::vector<double> v = values(static_cast<int>(state.range(0)));
    char buf[64];
    for (auto _ : state) {
        size_t total = 0;
        for (double x : v) total += write_num(buf, x, VXS_REP_GENERAL, -1, -1e30);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCells));
}

void BM_NumWidth(benchmark::State& state) {
    const std::vector<double> v = values(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        size_t total = 0;
        for (double x : v) total += write_num_width(x, VXS_REP_GENERAL, -1, -1e30);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCells));
}

void BM_WriteFixed(benchmark::State& state) {
    const std::vector<double> v = values(static_cast<int>(state.range(0)));
    char buf[64];
    for (auto _ : state) {
        size_t total = 0;
        for (double x : v) total += write_num(buf, x, VXS_REP_FIXED, 2, -1e30);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCells));
}

}  // namespace

BENCHMARK(BM_WriteNum)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumWidth)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFixed)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
