// Input: a flag byte (1: the file is CSV, else JSON; 2: Ruby's sample, else FireRed's), then the
// import file. Each sample ROM is written and opened once per process; planning only reads it.
//
// The file is planned twice, without and with leave to write unknown characters as spaces. A plan
// that is accepted writes only inside the file and inside the places of the items it reports as
// changed: their records, TM/HM list entries and image table entries, and the description rooms
// they had or were repointed to. Without that leave, no name or description it writes holds a
// character the game cannot show; the leave changes nothing else about what is accepted, refused
// or written.

#include "FuzzSupport.h"

#include "items/exchange/ItemImport.h"
#include "items/record/ItemTable.h"
#include "base/HexText.h"
#include "sample/SampleRom.h"
#include "text/GameText.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace {

using quillbox::ExportFormat;
using quillbox::ImportPlan;

enum Flag : std::uint8_t { kCsv = 1, kRuby = 2 };

struct Sample {
    quillbox::OpenedRom rom;
    std::vector<quillbox::ItemView> items;
    std::int64_t size = 0;
};

Sample OpenSample(std::string_view code)
{
    const auto path = quillbox::fuzz::Scratch() / (std::string(code) + ".gba");
    const auto profile = quillbox::fuzz::Scratch() / (std::string(code) + ".ini");
    auto tables = quillbox::SampleTablesFor(code);
    if (!tables || !quillbox::WriteSampleRom(path, code)) {
        std::fprintf(stderr, "cannot write the sample ROM %s\n", std::string(code).c_str());
        std::abort();
    }
    quillbox::fuzz::WriteWholeFile(profile, quillbox::fuzz::SampleProfileSection(code, *tables));
    auto opened = quillbox::OpenRom(path, profile);
    if (!opened) {
        std::fprintf(stderr, "cannot open the sample ROM %s: %s\n", std::string(code).c_str(), opened.error().message.c_str());
        std::abort();
    }
    auto items = quillbox::ReadItemTable(opened->state);
    if (!items) std::abort();
    return {std::move(*opened), std::move(*items), quillbox::kSampleRomSize};
}

const Sample& SampleFor(bool ruby)
{
    static const Sample fireRed = OpenSample("BPRE");
    static const Sample rubySample = OpenSample("AXVE");
    return ruby ? rubySample : fireRed;
}

using Range = std::pair<std::int64_t, std::int64_t>;  // first, end

// The places a change of the item at `position` may write.
void AddPlacesOf(const Sample& sample, int position, const ImportPlan& plan, std::vector<Range>& places)
{
    const quillbox::RomState& state = sample.rom.state;
    const std::int64_t entry = state.itemTableOffset + std::int64_t{quillbox::kItemRecordSize} * position;
    places.emplace_back(entry, entry + quillbox::kItemRecordSize);
    if (position >= quillbox::kFirstTmItem && position <= quillbox::kLastTmItem) {
        const std::int64_t tm = state.tmMovesOffset + 2 * std::int64_t{position - quillbox::kFirstTmItem};
        places.emplace_back(tm, tm + 2);
    }
    if (sample.rom.family->hasImages) {
        const std::int64_t image = state.imageTableOffset + 8 * std::int64_t{position};
        places.emplace_back(image, image + 8);
    }
    const quillbox::ItemView& item = sample.items[static_cast<std::size_t>(position)];
    if (item.descriptionOffset >= 0) {
        places.emplace_back(item.descriptionOffset, item.descriptionOffset + item.descriptionRoomBytes);
    }
    for (const quillbox::ItemChange& change : plan.changes) {
        if (change.position != position || change.field != "descriptionOffset") continue;
        const auto* text = std::get_if<std::string>(&change.after);
        QUILLBOX_FUZZ_CHECK(text != nullptr);
        auto repoint = quillbox::PlanDescriptionRepoint(state, position, *text);
        QUILLBOX_FUZZ_CHECK(repoint.has_value());
        places.emplace_back(repoint->repoint.offset, repoint->repoint.offset + repoint->repoint.roomBytes);
    }
}

void CheckAcceptedPlan(const Sample& sample, const ImportPlan& plan, bool replacing)
{
    std::set<int> positions;
    for (const quillbox::ItemChange& change : plan.changes) {
        QUILLBOX_FUZZ_CHECK(change.position >= 0 && change.position < static_cast<int>(sample.items.size()));
        QUILLBOX_FUZZ_CHECK(change.before != change.after);
        positions.insert(change.position);
        if (replacing || (change.field != "name" && change.field != "description")) continue;
        const auto* text = std::get_if<std::string>(&change.after);
        QUILLBOX_FUZZ_CHECK(text != nullptr);
        quillbox::ItemEdit edit;
        (change.field == "name" ? edit.name : edit.description) = quillbox::FromUtf8(*text);
        QUILLBOX_FUZZ_CHECK(quillbox::UnknownCharactersOf(edit).empty());
    }
    QUILLBOX_FUZZ_CHECK(plan.itemsChanged == static_cast<int>(positions.size()));
    QUILLBOX_FUZZ_CHECK(plan.changes.empty() == plan.patches.empty());

    std::vector<Range> places;
    for (const int position : positions) AddPlacesOf(sample, position, plan, places);
    for (const quillbox::Patch& patch : plan.patches) {
        const std::int64_t end = patch.offset + static_cast<std::int64_t>(patch.bytes.size());
        QUILLBOX_FUZZ_CHECK(!patch.bytes.empty());
        QUILLBOX_FUZZ_CHECK(patch.offset >= 0 && end <= sample.size);
        bool inside = false;
        for (const auto& [first, last] : places) inside = inside || (patch.offset >= first && end <= last);
        QUILLBOX_FUZZ_CHECK(inside);
    }
}

bool SamePatches(const ImportPlan& a, const ImportPlan& b)
{
    if (a.patches.size() != b.patches.size() || a.changes.size() != b.changes.size()) return false;
    for (std::size_t i = 0; i < a.patches.size(); ++i) {
        if (a.patches[i].offset != b.patches[i].offset || a.patches[i].bytes != b.patches[i].bytes) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quillbox::fuzz::InputReader input(data, size);
    const std::uint8_t flags = input.Byte();
    const auto rest = input.Rest();
    const std::string_view file(reinterpret_cast<const char*>(rest.data()), rest.size());
    const ExportFormat format = (flags & kCsv) != 0 ? ExportFormat::Csv : ExportFormat::Json;
    const Sample& sample = SampleFor((flags & kRuby) != 0);

    const auto strict = quillbox::PlanImport(sample.rom, file, format, false);
    const auto replacing = quillbox::PlanImport(sample.rom, file, format, true);
    if (replacing) CheckAcceptedPlan(sample, *replacing, true);
    if (strict) {
        CheckAcceptedPlan(sample, *strict, false);
        QUILLBOX_FUZZ_CHECK(replacing.has_value() && SamePatches(*strict, *replacing));
        return 0;
    }
    QUILLBOX_FUZZ_CHECK(!strict.error().message.empty());
    if (strict.error().code != quillbox::ErrorCode::UnknownCharacters) {
        QUILLBOX_FUZZ_CHECK(!replacing.has_value() && replacing.error().message == strict.error().message);
    }
    return 0;
}
