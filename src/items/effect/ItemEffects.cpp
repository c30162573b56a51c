#include "items/effect/ItemEffects.h"

#include "items/record/RomSpace.h"
#include "base/HexText.h"
#include "base/LittleEndian.h"
#include "rom/PointerScan.h"

#include <algorithm>
#include <optional>

namespace quillbox {

namespace {

constexpr int kEntrySize = 4;

bool HasEntry(const RomState& state, int position)
{
    return position >= kFirstEffectItem && position < kFirstEffectItem + state.itemEffectEntries;
}

std::string EntryRange(const RomState& state)
{
    return "only items " + std::to_string(kFirstEffectItem) + " to " +
           std::to_string(kFirstEffectItem + state.itemEffectEntries - 1) + " have an effect entry";
}

// An entry's record: the file offset it names, -1 for 0 (no effect), nothing for a place outside
// the file (ENIGMA BERRY's entry names the save's copy in memory).
std::optional<std::int64_t> RecordOf(std::uint32_t pointer, std::int64_t fileSize)
{
    if (pointer == 0) return -1;
    if (pointer < kRomBase || pointer - kRomBase >= static_cast<std::uint64_t>(fileSize)) return std::nullopt;
    return static_cast<std::int64_t>(pointer - kRomBase);
}

std::string Unknown(const RomState& state)
{
    return state.Family() == nullptr ? "no ROM is open" : "this ROM's item-effect table is unknown, so effects are not shown or written";
}

// For each entry, the items whose entries name the same record, ascending; none for 0 entries.
// Sorting the words finds them at once where asking every other entry for each would not.
std::vector<std::vector<int>> SharedRecords(std::span<const Byte> table)
{
    const int entries = static_cast<int>(table.size() / kEntrySize);
    std::vector<std::pair<std::uint32_t, int>> named;
    named.reserve(static_cast<std::size_t>(entries));
    for (int k = 0; k < entries; ++k) {
        const std::uint32_t pointer = ReadLe32(table, static_cast<std::size_t>(k) * kEntrySize);
        if (pointer != 0) named.emplace_back(pointer, k);
    }
    std::sort(named.begin(), named.end());
    std::vector<std::vector<int>> shared(static_cast<std::size_t>(entries));
    for (std::size_t first = 0, last = 0; first < named.size(); first = last) {
        while (last < named.size() && named[last].first == named[first].first) ++last;
        if (last - first < 2) continue;
        for (std::size_t member = first; member < last; ++member) {
            for (std::size_t other = first; other < last; ++other) {
                if (other != member) shared[static_cast<std::size_t>(named[member].second)].push_back(kFirstEffectItem + named[other].second);
            }
        }
    }
    return shared;
}

// What the table says of its items: the entries' words, the records they name and the entries
// naming the same records, which the one view of each entry takes over.
struct EffectTable {
    std::span<const Byte> words;
    ItemEffectRecords& records;
    std::int64_t fileSize;
    std::vector<std::vector<int>>& shared;
};

// Fills one view from the table's words and the bytes at its record.
ItemEffectView ViewOf(const RomState& state, const EffectTable& table, int position, Status& failed)
{
    ItemEffectView view;
    if (!HasEntry(state, position)) {
        // Said for most items of an export: made once for the table's size.
        thread_local std::pair<int, std::string> range{-1, {}};
        thread_local std::string words;
        if (range.first != state.itemEffectEntries) {
            range = {state.itemEffectEntries, EntryRange(state)};
            words = "No effect when used (" + range.second + ")";
        }
        view.unavailable = range.second;
        view.words = words;
        return view;
    }
    const auto k = static_cast<std::size_t>(position - kFirstEffectItem);
    view.entryOffset = state.itemEffectsOffset + static_cast<std::int64_t>(k) * kEntrySize;
    const std::uint32_t pointer = ReadLe32(table.words, k * kEntrySize);
    const auto record = RecordOf(pointer, table.fileSize);
    if (!record) {
        view.unavailable = "its effect entry names no place in the ROM (the game takes it from elsewhere, as it does for ENIGMA BERRY)";
        view.words = view.unavailable;
        return view;
    }
    view.recordOffset = *record;
    view.sharedWith = std::move(table.shared[k]);
    if (view.recordOffset < 0) {
        view.words = ItemEffectSummary(view.effect);
        return view;
    }
    auto bytes = table.records.At(view.recordOffset);
    if (!bytes) {
        failed = bytes.error();
        return view;
    }
    auto effect = DecodeItemEffect(*bytes);
    if (!effect) {
        view.unavailable = "its effect record at " + NumberToHex(static_cast<std::uint64_t>(view.recordOffset)) + " cannot be read: " + DetailOf(effect.error());
        view.words = view.unavailable;
        return view;
    }
    view.effect = *effect;
    view.length = ItemEffectLength(*bytes);
    view.words = ItemEffectSummary(view.effect);
    return view;
}

Result<Bytes> ReadTable(const RomState& state, RomFile& file)
{
    return file.ReadAt(state.itemEffectsOffset, std::int64_t{kEntrySize} * state.itemEffectEntries);
}

}  // namespace

Result<std::vector<ItemEffectView>> ReadItemEffects(const RomState& state)
{
    std::vector<ItemEffectView> views(static_cast<std::size_t>(std::max(state.ItemCount(), 0)));
    if (!state.itemEffectsKnown || state.Family() == nullptr) {
        for (ItemEffectView& view : views) view.unavailable = view.words = Unknown(state);
        return views;
    }
    auto file = OpenOpenedRom(state);
    if (!file) return file.error();
    auto table = ReadTable(state, *file);
    if (!table) return table.error();
    auto records = ItemEffectRecords::Read(*file, *table);
    if (!records) return records.error();
    auto shared = SharedRecords(*table);
    const EffectTable effects{*table, *records, file->Size(), shared};
    Status failed;
    for (std::size_t position = 0; position < views.size(); ++position) {
        views[position] = ViewOf(state, effects, static_cast<int>(position), failed);
        if (!failed) return failed.error();
    }
    return views;
}

namespace {

// What an item's effect is without reading the ROM: no item at the position, or a ROM whose
// effect table is not known.
std::optional<Result<ItemEffectView>> EffectWithoutReading(const RomState& state, int position)
{
    if (position < 0 || position >= state.ItemCount()) {
        return MakeError(ErrorCode::NoSuchItem, "position " + std::to_string(position) + " of " + std::to_string(state.ItemCount()));
    }
    if (!state.itemEffectsKnown || state.Family() == nullptr) {
        ItemEffectView view;
        view.unavailable = view.words = Unknown(state);
        return view;
    }
    return std::nullopt;
}

}  // namespace

Result<ItemEffectView> ReadItemEffect(const RomState& state, int position)
{
    if (auto known = EffectWithoutReading(state, position)) return std::move(*known);
    auto file = OpenOpenedRom(state);
    if (!file) return file.error();
    return ReadItemEffect(state, *file, position);
}

Result<ItemEffectView> ReadItemEffect(const RomState& state, RomFile& file, int position)
{
    if (auto known = EffectWithoutReading(state, position)) return std::move(*known);
    auto table = ReadTable(state, file);
    if (!table) return table.error();
    auto records = ItemEffectRecords::Read(file, *table);
    if (!records) return records.error();
    auto shared = SharedRecords(*table);
    Status failed;
    ItemEffectView view = ViewOf(state, EffectTable{*table, *records, file.Size(), shared}, position, failed);
    if (!failed) return failed.error();
    return view;
}

Result<EffectPlan> PlanEffectSave(const RomState& state, int position, const ItemEffect& effect, FreeSpace* space)
{
    auto current = ReadItemEffect(state, position);
    if (!current) return current.error();
    if (!current->Available()) return MakeError(ErrorCode::BadValue, "the effect cannot be changed: " + current->unavailable);
    auto bytes = EncodeItemEffect(effect);
    if (!bytes) return bytes.error();

    EffectPlan plan;
    plan.recordOffset = current->recordOffset;
    const bool inPlace = current->recordOffset >= 0 && current->sharedWith.empty() &&
                         current->length == static_cast<int>(bytes->size());
    if (inPlace) {
        auto file = OpenOpenedRom(state);
        if (!file) return file.error();
        auto old = file->ReadAt(current->recordOffset, current->length);
        if (!old) return old.error();
        // Only the runs of bytes that change are written.
        for (std::size_t i = 0; i < bytes->size();) {
            if ((*bytes)[i] == (*old)[i]) {
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < bytes->size() && (*bytes)[end] != (*old)[end]) ++end;
            plan.patches.push_back({current->recordOffset + static_cast<std::int64_t>(i), Bytes(bytes->begin() + static_cast<std::ptrdiff_t>(i),
                                                                                                 bytes->begin() + static_cast<std::ptrdiff_t>(end))});
            i = end;
        }
        return plan;
    }
    if (current->recordOffset >= 0 && current->effect == effect) return plan;

    std::optional<FreeSpace> own;
    if (space == nullptr) {
        auto rom = ReadRomImage(state);
        if (!rom) return rom.error();
        auto found = FindFreeSpace(state, *rom);
        if (!found) return found.error();
        own = std::move(*found);
        space = &*own;
    }
    auto place = space->Take(static_cast<std::int64_t>(bytes->size()));
    if (!place) return place.error();
    plan.moved = true;
    plan.recordOffset = *place;
    plan.patches.push_back({*place, std::move(*bytes)});
    plan.patches.push_back({current->entryOffset, LittleEndianBytes(static_cast<std::uint32_t>(*place) + kRomBase, kEntrySize)});
    return plan;
}

Status SaveItemEffect(const RomState& state, int position, const ItemEffect& effect)
{
    auto plan = PlanEffectSave(state, position, effect);
    if (!plan) return plan.error();
    if (plan->patches.empty()) return {};
    return ApplyToRom(state, plan->patches, {"Change Effect", position});
}

}  // namespace quillbox
