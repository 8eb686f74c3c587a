// Factor building and name uniqueness at scale: a million text cells of 50 levels into a
// factor, and unique names over 2,000 columns that all clash in their first 8 characters.
#include <benchmark/benchmark.h>

#include <string>

#include "sheet/vxs_access.h"
#include "sheet/vxs_conv.h"
#include "sheet/vxs_sheet.h"

namespace {

void BM_TextToFactor(benchmark::State& state) {
    vxs_init();
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Sheet* s = create_sheet();
        s->missing = vxs_missing;
        Column* c = create_column_with_memory(s, VXS_TEXT, "Site", 0);
        c->text.reserve(n, n * 10);
        for (size_t i = 0; i < n; ++i) c->text.push_back(" Site " + std::to_string(i * 7919 % 50) + " ");
        state.ResumeTiming();
        benchmark::DoNotOptimize(convert_text_to_factor(c, 1, 1));
        state.PauseTiming();
        free_memory(c, c->type);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_TextToFactor)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_VariateToFactor(benchmark::State& state) {
    vxs_init();
    const size_t n = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Sheet* s = create_sheet();
        s->missing = vxs_missing;
        Column* c = create_column_with_memory(s, VXS_VARIATE, "Dose", static_cast<int32_t>(n));
        for (size_t i = 0; i < n; ++i) c->num[i] = static_cast<double>(i * 7919 % 50) * 0.5;
        state.ResumeTiming();
        benchmark::DoNotOptimize(convert_variate_to_factor(c, 1));
        state.PauseTiming();
        free_memory(c, c->type);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_VariateToFactor)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_UniqueNames(benchmark::State& state) {
    vxs_init();
    VXSMAXCOLUMNS = 4096;
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Sheet* s = create_sheet();
        for (int i = 0; i < n; ++i) create_column(s, VXS_VARIATE, "Measurement_" + std::to_string(i), 25);
        state.ResumeTiming();
        vxs_make_unique_column_names(s);
    }
}
BENCHMARK(BM_UniqueNames)->Arg(2000)->Unit(benchmark::kMillisecond);

}  // namespace
