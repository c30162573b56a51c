#include "items/addition/ItemAddition.h"
#include "items/effect/ItemEffects.h"
#include "editor/EditorSession.h"
#include "editor/ItemForm.h"
#include "items/exchange/ItemImport.h"
#include "items/record/ItemOperations.h"
#include "items/record/ItemTable.h"
#include "items/record/RoutineGroups.h"
#include "rom/Profile.h"
#include "sample/SampleRom.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

namespace quillbox {
namespace {

// A 16 MiB sample ROM in a temporary folder, written once for all benchmarks.
class SampleFixture {
public:
    SampleFixture()
    {
        folder_ = std::filesystem::temp_directory_path() / ("quillbox-bench-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        rom_ = folder_ / "bench.gba";
        if (!WriteSampleRom(rom_, "BPRE")) std::abort();
        profile_ = ProfilePathFor(ProgramFolder());
    }
    ~SampleFixture()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    const std::filesystem::path& Rom() const { return rom_; }
    const std::filesystem::path& Profile() const { return profile_; }

private:
    std::filesystem::path folder_, rom_, profile_;
};

const SampleFixture& Sample()
{
    static SampleFixture fixture;
    return fixture;
}

void OpenAndList(benchmark::State& state)
{
    for (auto _ : state) {
        auto opened = OpenRom(Sample().Rom(), Sample().Profile());
        if (!opened) state.SkipWithError(opened.error().message.c_str());
        benchmark::DoNotOptimize(opened);
    }
}
BENCHMARK(OpenAndList)->Unit(benchmark::kMicrosecond);

// Opening with the check where the game has no header at 0x100 (Ruby): the words naming the item
// table are looked for from the start of the file, and a hack whose game reads its items
// elsewhere: the whole ROM is read and searched.
void OpenAndListOther(benchmark::State& state, std::string_view headerCode, bool hack)
{
    const auto folder = std::filesystem::temp_directory_path() /
                        ("quillbox-bench-" + std::string(headerCode) + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    SampleOptions options;
    options.hack = hack;
    if (!WriteSampleRom(folder / "bench.gba", headerCode, options)) std::abort();
    for (auto _ : state) {
        auto opened = OpenRom(folder / "bench.gba", Sample().Profile());
        if (!opened) state.SkipWithError(opened.error().message.c_str());
        benchmark::DoNotOptimize(opened);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
BENCHMARK_CAPTURE(OpenAndListOther, Ruby, "AXVE", false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(OpenAndListOther, FireRedHack, "BPRE", true)->Unit(benchmark::kMicrosecond);

void ShowOneItem(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    for (auto _ : state) {
        auto item = ReadItem(opened->state, 300);
        benchmark::DoNotOptimize(item);
    }
}
BENCHMARK(ShowOneItem)->Unit(benchmark::kMicrosecond);

// What the window and the page show of an item beyond its fields: every value's meaning, who
// shares its routines (worked out once per write of the file, not per item) and its effect when
// used. The target is under 0.1 ms.
void ShowOneItemWithMeanings(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    for (auto _ : state) {
        auto item = ReadItem(opened->state, 21);
        auto routines = RoutineGroupsOf(opened->state);
        auto form = ShowItemForm(*opened, *item, **routines);
        auto effect = ReadItemEffect(opened->state, 21);
        benchmark::DoNotOptimize(form);
        benchmark::DoNotOptimize(effect);
    }
}
BENCHMARK(ShowOneItemWithMeanings)->Unit(benchmark::kMicrosecond);

// What the window and the page call when the user picks an item: the session reads it and gives
// every control's value with its words, the effect with who shares it, and the icon drawn.
void ShowItemInSession(benchmark::State& state)
{
    EditorSession session;
    ProfileFiles profiles;
    profiles.shipped = Sample().Profile();
    session.Open(Sample().Rom(), profiles);
    int position = 0;
    for (auto _ : state) {
        auto step = session.Show(position);
        position = (position + 37) % 375;
        benchmark::DoNotOptimize(step);
    }
}
BENCHMARK(ShowItemInSession)->Unit(benchmark::kMicrosecond);

// Reading and explaining every item's effect of a ROM; the target is under 1 ms.
void ExplainEveryEffect(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    for (auto _ : state) {
        auto effects = ReadItemEffects(opened->state);
        benchmark::DoNotOptimize(effects);
    }
}
BENCHMARK(ExplainEveryEffect)->Unit(benchmark::kMicrosecond);

void ShowOneItemWithIcon(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    for (auto _ : state) {
        auto item = ReadItem(opened->state, 300);
        auto icon = ReadItemIcon(opened->state.romPath, static_cast<std::int64_t>(HexToNumber(*item->imageOffsetText)),
                                 static_cast<std::int64_t>(HexToNumber(*item->paletteOffsetText)));
        benchmark::DoNotOptimize(icon);
    }
}
BENCHMARK(ShowOneItemWithIcon)->Unit(benchmark::kMicrosecond);

void SaveOneItem(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    const auto item = ReadItem(opened->state, 300);
    ItemEdit edit;
    edit.name = U"Bench Tonic";
    edit.price = 1234;
    edit.pocket = 2;
    edit.fieldUsageCodePointer = "0A1B2C";
    edit.description = item->description;
    edit.tmMove = 17;
    const DescriptionPlace place{item->descriptionOffset, item->descriptionRoomBytes};
    for (auto _ : state) {
        auto saved = SaveItem(opened->state, 300, edit, place);
        if (!saved) state.SkipWithError(saved.error().message.c_str());
    }
}
BENCHMARK(SaveOneItem)->Unit(benchmark::kMicrosecond);

// What `export` does after opening: every item read in block reads, written as JSON or CSV.
void ExportEveryItem(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    const auto format = state.range(0) == 0 ? ExportFormat::Json : ExportFormat::Csv;
    for (auto _ : state) {
        auto items = ReadItemTable(opened->state);
        if (!items) state.SkipWithError(items.error().message.c_str());
        auto text = ExportItems(*opened, *items, format);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(ExportEveryItem)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// What `import` of an unedited export does after opening: parse, compare, check; nothing to write.
void PlanImportOfAnUneditedExport(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    const auto format = state.range(0) == 0 ? ExportFormat::Json : ExportFormat::Csv;
    const std::string file = ExportItems(*opened, *ReadItemTable(opened->state), format);
    for (auto _ : state) {
        auto plan = PlanImport(*opened, file, format);
        if (!plan || !plan->patches.empty()) state.SkipWithError("the unedited export planned a change");
        benchmark::DoNotOptimize(plan);
    }
}
BENCHMARK(PlanImportOfAnUneditedExport)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Planning an addition that grows the tables on the 16 MiB sample: the code sites found, every
// table written anew, free space taken; nothing is written. The target is well under 50 ms.
void PlanThirtyItemsPastTheLast(benchmark::State& state)
{
    const auto opened = OpenRom(Sample().Rom(), Sample().Profile());
    if (!opened) std::abort();
    NewItemRequest request;
    request.like = 13;
    request.count = 30;
    request.append = true;
    for (auto _ : state) {
        auto plan = PlanItemAddition(opened->state, request);
        if (!plan) std::abort();
        benchmark::DoNotOptimize(plan->patches.size());
    }
}
BENCHMARK(PlanThirtyItemsPastTheLast)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillbox
