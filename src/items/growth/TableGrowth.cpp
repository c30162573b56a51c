#include "items/growth/TableGrowth.h"

#include "items/growth/Thumb.h"

#include "base/LittleEndian.h"
#include "items/effect/ItemEffectTable.h"

#include <algorithm>
#include <cstdlib>

namespace quillbox {

namespace {


constexpr std::int64_t kIconEntrySize = 8;
// A `bl` reaches 4 MiB either way of the instruction after it.
constexpr std::int64_t kCallReach = std::int64_t{1} << 22;

Bytes Word(std::uint32_t value) { return LittleEndianBytes(value, 4); }
std::uint32_t Address(std::int64_t offset) { return kRomBase + static_cast<std::uint32_t>(offset); }

Bytes Slice(std::span<const Byte> rom, std::int64_t at, std::int64_t size)
{
    return Bytes(rom.begin() + static_cast<std::ptrdiff_t>(at), rom.begin() + static_cast<std::ptrdiff_t>(at + size));
}

// Whether a bound of `last` fits `movs rN, #imm8; lsls rN, #1`.
bool HalvesInto(int last) { return last % 2 == 0 && last / 2 <= 0xFF; }

class Planner {
public:
    Planner(std::span<const Byte> rom, const ItemTables& tables, FreeSpace space, int newCount)
        : rom_(rom), tables_(tables), space_(std::move(space)), n_(newCount)
    {
    }

    Status Plan(const ItemCodeSites& sites)
    {
        plan_.oldCount = tables_.itemCount;
        plan_.newCount = n_;
        // The routines first: the lowest free places are the nearest to the code.
        if (sites.effects) {
            if (Status s = PlanEffectRoutines(*sites.effects); !s) return s;
        }
        if (Status s = PlanItemTable(sites); !s) return s;
        if (Status s = PlanSanitizer(sites.sanitizer); !s) return s;
        if (sites.icon) {
            if (Status s = PlanIcons(*sites.icon); !s) return s;
        }
        if (sites.effects) {
            if (Status s = PlanEffects(*sites.effects); !s) return s;
        }
        std::sort(plan_.routines.begin(), plan_.routines.end());
        return {};
    }

    TableGrowthPlan& Result() { return plan_; }
    FreeSpace& Space() { return space_; }

private:
    void Write(std::int64_t offset, Bytes bytes, std::string reason)
    {
        plan_.writes.push_back({offset, std::move(bytes), std::move(reason)});
    }

    quillbox::Result<std::int64_t> Take(std::int64_t size, const std::string& what)
    {
        auto place = space_.Take(size);
        if (!place) {
            return MakeError(ErrorCode::NoFreeSpace, "no free space for " + what + " (" + std::to_string(size) +
                                                         " bytes with its margins)");
        }
        return *place;
    }

    Status PlanItemTable(const ItemCodeSites& sites)
    {
        const std::int64_t oldSize = std::int64_t{kItemRecordSize} * tables_.itemCount;
        if (!thumb::Inside(rom_, tables_.itemTable, oldSize)) {
            return MakeError(ErrorCode::PastEndOfFile, "the item table at " + SiteHex(tables_.itemTable) + " runs past the end of the file");
        }
        auto place = Take(std::int64_t{kItemRecordSize} * n_, "the item table of " + std::to_string(n_) + " records");
        if (!place) return place.error();
        plan_.itemTable = *place;
        Bytes table = Slice(rom_, tables_.itemTable, oldSize);
        const Bytes unknown = Slice(rom_, tables_.itemTable, kItemRecordSize);
        for (int id = tables_.itemCount; id < n_; ++id) table.insert(table.end(), unknown.begin(), unknown.end());
        Write(*place, std::move(table),
              "item table of " + std::to_string(n_) + " records: the old " + std::to_string(tables_.itemCount) +
                  " copied, the new ones item 0's");
        for (const LiteralSite& word : sites.itemTableWords) {
            Write(word.wordAt, Word(Address(*place)), "item table word of the getter loading it at " + SiteHex(word.loadAt));
        }
        if (sites.headerWord) Write(kHeaderItemTableWord, Word(Address(*place)), "item table word of the header");
        return {};
    }

    Status PlanSanitizer(const SanitizerSite& site)
    {
        const int last = n_ - 1;
        if (site.form == &kSanitizerReleased && HalvesInto(last)) {
            Write(site.offset + 6, Bytes{static_cast<Byte>(last / 2)},
                  "sanitiser bound " + std::to_string(last) + " in its movs; lsls #1");
        } else if (site.form != &kSanitizerReleased) {
            // Its word is its count: only that changes.
            Write(site.offset + site.form->holes[0].at, Word(static_cast<std::uint32_t>(n_)),
                  "sanitiser count word " + std::to_string(n_));
        } else {
            const std::uint32_t count = static_cast<std::uint32_t>(n_);
            Write(site.offset, EncodeForm(kSanitizerWord, std::span<const std::uint32_t>(&count, 1)),
                  "sanitiser rewritten in its own 24 bytes to compare against the count " + std::to_string(n_) +
                      " as a word (" + std::to_string(last) + " is no imm8 << 1)");
        }
        return {};
    }

    Status PlanIcons(const IconSites& icon)
    {
        const std::int64_t oldEntries = tables_.itemCount + 1;
        if (!thumb::Inside(rom_, tables_.iconTable, kIconEntrySize * oldEntries)) {
            return MakeError(ErrorCode::PastEndOfFile, "the icon table at " + SiteHex(tables_.iconTable) + " runs past the end of the file");
        }
        if (icon.arrowId != tables_.itemCount) {
            return MakeError(ErrorCode::UnsupportedRom, "the item icon routine at " + SiteHex(icon.offset) +
                                                            ": expected the arrow's id " + std::to_string(tables_.itemCount) +
                                                            ", found " + std::to_string(icon.arrowId));
        }
        auto place = Take(kIconEntrySize * (n_ + 1), "the icon table of " + std::to_string(n_ + 1) + " entries");
        if (!place) return place.error();
        plan_.iconTable = *place;
        Bytes table = Slice(rom_, tables_.iconTable, kIconEntrySize * tables_.itemCount);
        const Bytes unknown = Slice(rom_, tables_.iconTable, kIconEntrySize);
        for (int id = tables_.itemCount; id < n_; ++id) table.insert(table.end(), unknown.begin(), unknown.end());
        const Bytes arrow = Slice(rom_, tables_.iconTable + kIconEntrySize * icon.arrowId, kIconEntrySize);
        table.insert(table.end(), arrow.begin(), arrow.end());
        Write(*place, std::move(table),
              "icon table of " + std::to_string(n_ + 1) + " entries: the new ones item 0's, the Cancel row's arrow at " +
                  std::to_string(n_));
        const auto arrowWord = static_cast<std::uint32_t>(n_);
        if (icon.form == &kIconKanto) {
            Write(icon.offset + 0x24, Word(arrowWord), "icon routine bound, the arrow's id " + std::to_string(n_));
            Write(icon.tableWordAt, Word(Address(*place)), "icon table word of the icon routine");
            for (const LiteralSite& caller : icon.arrowCallers) {
                Write(caller.wordAt, Word(arrowWord), "arrow id of the menu loading it at " + SiteHex(caller.loadAt));
            }
        } else if (icon.form == &kIconEmerald && HalvesInto(n_ - 1)) {
            Write(icon.offset + 0x18, Word(arrowWord), "icon routine's arrow id " + std::to_string(n_));
            Write(icon.offset + 0x1C, Bytes{static_cast<Byte>((n_ - 1) / 2)},
                  "icon routine bound " + std::to_string(n_ - 1) + " in its movs; lsls #1");
            Write(icon.tableWordAt, Word(Address(*place)), "icon table word of the icon routine");
        } else {
            const std::uint32_t operands[] = {arrowWord, Address(*place)};
            Write(icon.offset, EncodeForm(kIconEmeraldWord, operands),
                  "icon routine rewritten in its own bytes: the arrow's id " + std::to_string(n_) +
                      " as a word, every id from it on but 0xFFFF refused");
        }
        return {};
    }

    int OldEffectEntries(const EffectSites& effects) const
    {
        // The released checks let 0xA5 + 1 entries through a table of 163; a grown one holds
        // exactly the entries its checks let through.
        const int last = effects.checks.front().lastIndex;
        return last == 0xA5 ? kItemEffectEntries : last + 1;
    }

    Status PlanEffectRoutines(const EffectSites& effects)
    {
        const int last = n_ - 1 - kFirstEffectItem;
        if (last <= kLargestInPlaceEffectIndex) return {};
        for (const EffectCheckSite& check : effects.checks) {
            if (check.routine >= 0) continue;
            if (check.functionAt < 0) {
                return MakeError(ErrorCode::BadValue,
                                 "the item-effect check at " + SiteHex(check.subsAt) + " compares with an imm8, which reaches id " +
                                     std::to_string(kFirstEffectItem + kLargestInPlaceEffectIndex) +
                                     "; no saved return address is proven before it, so no call can take its place");
            }
            auto place = space_.Take(kEffectCheckRoutineSize);
            if (!place || std::abs(*place - (check.subsAt + 6)) >= kCallReach) {
                return MakeError(ErrorCode::BadValue,
                                 "the item-effect check at " + SiteHex(check.subsAt) + " compares with an imm8, which reaches id " +
                                     std::to_string(kFirstEffectItem + kLargestInPlaceEffectIndex) +
                                     "; no free space lies within a call's reach (4 MiB) of it for a routine holding " +
                                     std::to_string(n_ - 1));
            }
            routineOf_.push_back({check.subsAt, *place});
            plan_.routines.push_back(*place);
        }
        return {};
    }

    Status PlanEffects(const EffectSites& effects)
    {
        const int oldEntries = OldEffectEntries(effects);
        if (!thumb::Inside(rom_, tables_.effectTable, 4 * std::int64_t{oldEntries})) {
            return MakeError(ErrorCode::PastEndOfFile, "the item-effect table at " + SiteHex(tables_.effectTable) +
                                                           " runs past the end of the file");
        }
        const int entries = n_ - kFirstEffectItem;
        auto place = Take(4 * std::int64_t{entries}, "the item-effect table of " + std::to_string(entries) + " entries");
        if (!place) return place.error();
        plan_.effectTable = *place;
        Bytes table = Slice(rom_, tables_.effectTable, 4 * std::int64_t{std::min(oldEntries, entries)});
        table.resize(4 * static_cast<std::size_t>(entries), 0);
        Write(*place, std::move(table),
              "item-effect table for ids 13 to " + std::to_string(n_ - 1) + ": the old " + std::to_string(oldEntries) +
                  " entries copied, the rest null");
        for (const LiteralSite& word : effects.tableWords) {
            Write(word.wordAt, Word(Address(*place)), "item-effect table word loaded at " + SiteHex(word.loadAt));
        }
        const auto last = static_cast<std::uint32_t>(n_ - 1 - kFirstEffectItem);
        for (const EffectCheckSite& check : effects.checks) {
            const std::string what = "item-effect check at " + SiteHex(check.subsAt) + " letting ids up to " + std::to_string(n_ - 1);
            if (check.routine >= 0) {
                Write(check.routine + 16, Word(last), what + " (its routine's word)");
            } else if (static_cast<int>(last) <= kLargestInPlaceEffectIndex) {
                Write(check.subsAt + 6, Bytes{static_cast<Byte>(last)}, what + " (its cmp #imm8)");
            } else {
                const auto routine = std::find_if(routineOf_.begin(), routineOf_.end(),
                                                  [&](const auto& entry) { return entry.first == check.subsAt; });
                Write(routine->second, EffectCheckRoutine(check.indexRegister, check.compareRegister, last),
                      "routine comparing against " + std::to_string(last) + " for the " + what);
                Bytes call = *thumb::Bl(check.subsAt + 2, routine->second);
                call.push_back(static_cast<Byte>(thumb::kNop & 0xFF));
                call.push_back(static_cast<Byte>(thumb::kNop >> 8));
                Write(check.subsAt + 2, std::move(call), what + " (a call to its routine in place of the compare)");
            }
        }
        return {};
    }

    std::span<const Byte> rom_;
    ItemTables tables_;
    FreeSpace space_;
    int n_;
    TableGrowthPlan plan_;
    std::vector<std::pair<std::int64_t, std::int64_t>> routineOf_;
};

}  // namespace

std::vector<Patch> TableGrowthPlan::Patches() const
{
    std::vector<Patch> patches;
    patches.reserve(writes.size());
    for (const GrowthWrite& write : writes) patches.push_back({write.offset, write.bytes});
    return patches;
}

Result<TableGrowthPlan> PlanTableGrowth(std::span<const Byte> rom, const GameFamily& family, const ItemTables& tables,
                                        FreeSpace& space, int newCount)
{
    if (newCount <= tables.itemCount) {
        return MakeError(ErrorCode::BadValue, "the item table grows only: " + std::to_string(newCount) +
                                                  " is not above its " + std::to_string(tables.itemCount) + " items");
    }
    if (newCount > kLargestItemCount) {
        return MakeError(ErrorCode::BadValue, "at most " + std::to_string(kLargestItemCount) + " items, not " +
                                                  std::to_string(newCount) +
                                                  ": 0xFFFF ends the games' item lists and is never an item id");
    }
    auto sites = FindItemCodeSites(rom, family, tables);
    if (!sites) return sites.error();
    Planner planner(rom, tables, space, newCount);
    if (Status planned = planner.Plan(*sites); !planned) return planned.error();
    space = std::move(planner.Space());
    return std::move(planner.Result());
}

}  // namespace quillbox
