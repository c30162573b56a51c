#include "items/growth/TableGrowth.h"

#include "items/growth/Thumb.h"

#include "base/LittleEndian.h"
#include "items/effect/ItemEffectTable.h"

#include <algorithm>

namespace quillbox {

namespace {


constexpr std::int64_t kIconEntrySize = 8;

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
        if (sites.effects && EffectShiftFor(n_) > kLargestEffectShift) {
            return MakeError(ErrorCode::BadValue,
                             "the item-effect checks let at most 2^" + std::to_string(kLargestEffectShift) + " entries (ids " +
                                 std::to_string(kFirstEffectItem) + " to " +
                                 std::to_string(kFirstEffectItem + (1 << kLargestEffectShift) - 1) +
                                 ") through in their own bytes, a shift by at most 31: " + std::to_string(n_) +
                                 " items need more; leave the item-effect table out to grow this far");
        }
        if (Status s = PlanItemTable(sites); !s) return s;
        if (Status s = PlanSanitizer(sites.sanitizer); !s) return s;
        if (sites.icon) {
            if (Status s = PlanIcons(*sites.icon); !s) return s;
        }
        if (sites.effects) {
            if (Status s = PlanEffects(*sites.effects); !s) return s;
        }
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
        // exactly the 2^k entries its checks let through.
        const EffectCheckSite& check = effects.checks.front();
        return check.shift < 0 ? kItemEffectEntries : check.lastIndex + 1;
    }

    // Every check rewritten in its own bytes to let 2^k entries through, k the least that covers
    // ids 13 .. n - 1; the table holds that many, those from id n on null, so an id the item
    // table has no record for reads no effect, as every id without one does. One form for every
    // count, even one an imm8 compare could still hold: every released count is past that already.
    Status PlanEffects(const EffectSites& effects)
    {
        const int oldEntries = OldEffectEntries(effects);
        if (!thumb::Inside(rom_, tables_.effectTable, 4 * std::int64_t{oldEntries})) {
            return MakeError(ErrorCode::PastEndOfFile, "the item-effect table at " + SiteHex(tables_.effectTable) +
                                                           " runs past the end of the file");
        }
        const int shift = EffectShiftFor(n_);
        const int entries = 1 << shift;
        const int lastId = kFirstEffectItem + entries - 1;
        auto place = Take(4 * std::int64_t{entries}, "the item-effect table of " + std::to_string(entries) + " entries");
        if (!place) return place.error();
        plan_.effectTable = *place;
        Bytes table = Slice(rom_, tables_.effectTable, 4 * std::int64_t{std::min(oldEntries, entries)});
        table.resize(4 * static_cast<std::size_t>(entries), 0);
        Write(*place, std::move(table),
              "item-effect table for ids 13 to " + std::to_string(lastId) + ": the old " + std::to_string(oldEntries) +
                  " entries copied, the rest null");
        for (const LiteralSite& word : effects.tableWords) {
            Write(word.wordAt, Word(Address(*place)), "item-effect table word loaded at " + SiteHex(word.loadAt));
        }
        for (const EffectCheckSite& check : effects.checks) {
            Write(check.subsAt + 4, EffectCheckRewrite(rom_, check, shift),
                  "item-effect check at " + SiteHex(check.subsAt) + " letting ids 13 to " + std::to_string(lastId) +
                      " through: u16(id - 13) >> " + std::to_string(shift) + " is zero, in its own bytes");
        }
        return {};
    }

    std::span<const Byte> rom_;
    ItemTables tables_;
    FreeSpace space_;
    int n_;
    TableGrowthPlan plan_;
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
