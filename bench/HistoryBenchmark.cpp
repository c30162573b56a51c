#include "items/record/ItemOperations.h"
#include "rom/History.h"
#include "rom/Profile.h"
#include "sample/SampleRom.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace quillbox {
namespace {

// A 16 MiB sample ROM whose history holds `changes` saves of one item's price.
class HistoryFixture {
public:
    explicit HistoryFixture(int changes)
    {
        folder_ = std::filesystem::temp_directory_path() / ("quillbox-history-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        rom_ = folder_ / "bench.gba";
        if (!WriteSampleRom(rom_, "BPRE")) std::abort();
        auto opened = OpenRom(rom_, ProfilePathFor(ProgramFolder()));
        if (!opened) std::abort();
        const auto item = ReadItem(opened->state, 300);
        for (int i = 0; i < changes; ++i) {
            ItemEdit edit;
            edit.price = static_cast<std::uint16_t>(1000 + i % 2);
            if (!SaveItem(opened->state, 300, edit, {item->descriptionOffset, item->descriptionRoomBytes})) std::abort();
        }
        std::ifstream in(HistoryPathOf(rom_), std::ios::binary);
        journal_.assign(std::istreambuf_iterator<char>(in), {});
    }
    ~HistoryFixture()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    const std::filesystem::path& Rom() const { return rom_; }
    // Puts the history back as it was after the saves; the ROM is as it was too after an undo
    // and a redo.
    void ResetJournal() const { std::ofstream(HistoryPathOf(rom_), std::ios::binary | std::ios::trunc) << journal_; }

private:
    std::filesystem::path folder_, rom_;
    std::string journal_;
};

// One undo and one redo of the newest save, each reading the whole history.
void UndoAndRedoASave(benchmark::State& state)
{
    const HistoryFixture fixture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        fixture.ResetJournal();
        state.ResumeTiming();
        auto undone = UndoChange(fixture.Rom());
        auto redone = RedoChange(fixture.Rom());
        if (!undone || !redone) state.SkipWithError("undo or redo refused");
    }
}
BENCHMARK(UndoAndRedoASave)->Arg(1)->Arg(1000)->Unit(benchmark::kMicrosecond);

// A save that changes a byte, journaled, against the same save without a history.
void SaveWithAndWithoutHistory(benchmark::State& state)
{
    const HistoryFixture fixture(0);
    auto opened = OpenRom(fixture.Rom(), ProfilePathFor(ProgramFolder()));
    opened->state.keepHistory = state.range(0) != 0;
    const auto item = ReadItem(opened->state, 300);
    std::uint16_t price = 0;
    for (auto _ : state) {
        if (opened->state.keepHistory) {
            state.PauseTiming();
            fixture.ResetJournal();
            state.ResumeTiming();
        }
        ItemEdit edit;
        edit.price = ++price;
        if (!SaveItem(opened->state, 300, edit, {item->descriptionOffset, item->descriptionRoomBytes})) {
            state.SkipWithError("save refused");
        }
    }
}
BENCHMARK(SaveWithAndWithoutHistory)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillbox
