// Copying a WideString shares its buffer: the cost must not depend on the length.
#include <benchmark/benchmark.h>

#include "base/basic_string.h"

namespace {

noviq::WideString textOfLength(int64_t length) {
    noviq::WideString text;
    char16_t* buffer = text.GetBuffer(static_cast<int32_t>(length));
    for (int64_t i = 0; i < length; ++i)
        buffer[i] = u'x';
    text.ReleaseBuffer(static_cast<int32_t>(length));
    return text;
}

void copyWideString(benchmark::State& state) {
    const noviq::WideString source = textOfLength(state.range(0));
    for (auto _ : state) {
        noviq::WideString copy(source);
        benchmark::DoNotOptimize(copy.c_str());
    }
}
BENCHMARK(copyWideString)->Arg(10)->Arg(10000)->Arg(1000000);

// For contrast: a copy that must own its characters (the first write after a copy).
void copyThenModify(benchmark::State& state) {
    const noviq::WideString source = textOfLength(state.range(0));
    for (auto _ : state) {
        noviq::WideString copy(source);
        copy.Replace(u'x', u'y');
        benchmark::DoNotOptimize(copy.c_str());
    }
}
BENCHMARK(copyThenModify)->Arg(10)->Arg(10000);

} // namespace

BENCHMARK_MAIN();
