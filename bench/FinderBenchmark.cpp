#include "DenseRom.h"
#include "items/effect/ItemEffectTable.h"
#include "items/opening/TableDetection.h"
#include "rom/PointerScan.h"
#include "rom/TableFinder.h"
#include "sample/SampleRom.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>

namespace quillbox {
namespace {

constexpr std::int64_t kLargeRom = 32 * 1024 * 1024;

// A 32 MiB FireRed-like image with its tables near the top of the address range and 14 MiB of
// code-like filler in which every eighth word names a random place of the ROM: about as many
// pointers as a real game holds, each a candidate the finder has to look at; and as many places
// looking like the item-effect table as a real FireRed holds.
const Bytes& LargeRom()
{
    static const Bytes rom = [] {
        SampleOptions options;
        options.romSize = kLargeRom;
        options.tables = SampleTables{0x1FF8000, 0x1FF000D, 0x1FFFF00, 0x1FFF000, 375, 0x1FFFE00, 0x1FF7000};
        auto built = BuildSampleRom("BPRE", options);
        if (!built) std::abort();
        std::mt19937 random(8);
        FillWithPointers(*built, 0x1000000, 0x1E00000, random);
        AddEffectLookAlikes(*built, 0x1FF7000, 0x1E00000, 0x1000000, 0x1E00000, random);
        return *built;
    }();
    return rom;
}

void ScanPointersOf32MiB(benchmark::State& state)
{
    const Bytes& rom = LargeRom();
    for (auto _ : state) {
        auto pointers = ScanPointers(rom);
        benchmark::DoNotOptimize(pointers);
    }
    state.counters["targets"] = static_cast<double>(ScanPointers(rom).DistinctCount());
}
BENCHMARK(ScanPointersOf32MiB)->Unit(benchmark::kMillisecond);

void RankCandidatesOf32MiB(benchmark::State& state)
{
    const Bytes& rom = LargeRom();
    const PointerTargets pointers = ScanPointers(rom);
    for (auto _ : state) {
        auto found = FindTables(rom, pointers, FindGameFamily("BPR"));
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(RankCandidatesOf32MiB)->Unit(benchmark::kMillisecond);

// What opening a ROM pays: the scan and the ranking together, to stay under 30 ms.
void FindTablesIn32MiB(benchmark::State& state)
{
    const Bytes& rom = LargeRom();
    for (auto _ : state) {
        auto found = FindTables(rom, FindGameFamily("BPR"));
        if (found.items.offset != 0x1FF8000 || !found.AllFound()) state.SkipWithError("tables not found");
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(FindTablesIn32MiB)->Unit(benchmark::kMillisecond);

// The item-effect table's pass over the same candidates: the first look at every named place, the
// evidence of the few that pass it.
void FindItemEffectTableOf32MiB(benchmark::State& state)
{
    const Bytes& rom = LargeRom();
    const PointerTargets pointers = ScanPointers(rom);
    for (auto _ : state) {
        auto found = FindItemEffectTable(rom, pointers);
        if (found.table.offset != 0x1FF7000) state.SkipWithError("item-effect table not found");
        benchmark::DoNotOptimize(found);
    }
    const FoundItemEffects found = FindItemEffectTable(rom, pointers);
    state.counters["candidates"] = found.table.candidates;
    state.counters["healingPotions"] = found.table.candidates + found.lookAlikes;
}
BENCHMARK(FindItemEffectTableOf32MiB)->Unit(benchmark::kMillisecond);

// What detect pays: one scan, then every table's candidates.
void DetectTablesIn32MiB(benchmark::State& state)
{
    const Bytes& rom = LargeRom();
    for (auto _ : state) {
        auto detected = DetectTables(std::span<const Byte>(rom));
        if (!detected || !detected->found.AllFound() || !detected->effects.table.Found()) state.SkipWithError("tables not found");
        benchmark::DoNotOptimize(detected);
    }
}
BENCHMARK(DetectTablesIn32MiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillbox
