#include "rom/FreeSpace.h"
#include "rom/PointerScan.h"
#include "sample/SampleRom.h"

#include <benchmark/benchmark.h>

#include <random>

namespace quillbox {
namespace {

constexpr std::size_t kExpandedSize = 32 * 1024 * 1024;

// A sample ROM expanded to 32 MiB as hacks expand them, with 4 MiB of noise past the game's data
// standing in for earlier insertions: stray 0xFF bytes and words that look like pointers.
const Bytes& ExpandedRom()
{
    static const Bytes rom = [] {
        auto sample = BuildSampleRom("BPRE");
        if (!sample) std::abort();
        Bytes bytes = std::move(*sample);
        bytes.resize(kExpandedSize, kFreeByte);
        std::mt19937 random(32);
        for (std::size_t at = 0xA00000; at < 0xE00000; ++at) bytes[at] = static_cast<Byte>(random());
        return bytes;
    }();
    return rom;
}

const PointerTargets& ExpandedTargets()
{
    static const PointerTargets targets = ScanPointers(ExpandedRom());
    return targets;
}

// Building the run list once and finding a place, from the default start and from the first
// byte, the way a plan does it; the pointer scan it needs is measured on its own below.
void FreeSpaceBuildAndFind(benchmark::State& state)
{
    const Bytes& rom = ExpandedRom();
    const PointerTargets& targets = ExpandedTargets();
    const std::int64_t start = state.range(0) == 0 ? DefaultFreeSpaceStart(rom, targets) : 0;
    for (auto _ : state) {
        FreeSpace space = FreeSpace::Build(rom, targets, {}, start);
        auto place = space.Find(4096);
        if (!place) state.SkipWithError(place.error().message.c_str());
        benchmark::DoNotOptimize(place);
    }
}
BENCHMARK(FreeSpaceBuildAndFind)->Arg(0)->Arg(1)->ArgName("fromFirstByte")->Unit(benchmark::kMillisecond);

void PointerScan32MiB(benchmark::State& state)
{
    const Bytes& rom = ExpandedRom();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ScanPointers(rom));
    }
}
BENCHMARK(PointerScan32MiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillbox
