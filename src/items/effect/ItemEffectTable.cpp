#include "items/effect/ItemEffectTable.h"

#include "items/effect/ItemEffect.h"
#include "base/HexText.h"
#include "base/LittleEndian.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace quillbox {

namespace {

constexpr int kHealHpFlagByte = 4;
constexpr Byte kHealHpFlag = 0x04;
// The game's functions load the table's address and subtract 13 from the item number within a
// handful of instructions of each other, in either order.
constexpr std::int64_t kInstructionReach = 8;
// Thumb `ldr rN, [pc, #imm8 * 4]` and `subs rN, #13`, register bits masked out.
constexpr std::uint32_t kLdrLiteralMask = 0xF800;
constexpr std::uint32_t kLdrLiteral = 0x4800;
constexpr std::uint32_t kSubsImmediateMask = 0xF8FF;
constexpr std::uint32_t kSubsThirteen = 0x3800 | kFirstEffectItem;
constexpr std::int64_t kLdrLiteralReach = 4 + 255 * 4;

// The file offset a word names, or -1 for a word naming no place in a file of `size` bytes.
std::int64_t Target(std::uint32_t word, std::int64_t size)
{
    if (word < kRomBase || word >= kRomAddressEnd) return -1;
    const std::int64_t target = word - kRomBase;
    return target < size ? target : -1;
}

template <typename Array>
bool Contains(const Array& items, int item)
{
    return std::find(items.begin(), items.end(), item) != items.end();
}

bool RaisesStages(const ItemEffect& e)
{
    return e.attackStages > 0 || e.defenseStages > 0 || e.speedStages > 0 || e.accuracyStages > 0 ||
           e.specialAttackStages > 0;
}

bool RaisesEvs(const ItemEffect& e)
{
    for (const auto& amount : {e.hpEvs, e.attackEvs, e.defenseEvs, e.speedEvs, e.specialDefenseEvs, e.specialAttackEvs}) {
        if (amount && *amount > 0) return true;
    }
    return false;
}

using RecordTraits = ItemEffectRecordTraits;

// `bytes` runs from the record on, at most a record's longest length and fewer at the end of the file.
RecordTraits TraitsOf(std::span<const Byte> bytes)
{
    if (bytes.size() < static_cast<std::size_t>(kItemEffectFlagBytes) ||
        static_cast<std::size_t>(ItemEffectLength(bytes.first(kItemEffectFlagBytes))) > bytes.size()) {
        return {};
    }
    const auto effect = DecodeItemEffect(bytes);
    if (!effect) return {};
    return {true, effect->healHp.has_value(), RaisesStages(*effect), RaisesEvs(*effect), effect->evolutionStone};
}

// `traitsAt(offset)` gives the traits of the record at `offset`.
template <typename TraitsAt>
ItemEffectTableEvidence Weigh(std::span<const Byte> table, std::int64_t fileSize, TraitsAt&& traitsAt)
{
    ItemEffectTableEvidence evidence;
    for (int k = 0; k < kItemEffectEntries; ++k) {
        const std::uint32_t word = ReadLe32(table, static_cast<std::size_t>(4 * k));
        if (word == 0) {
            ++evidence.entriesInRom;
            continue;
        }
        ++evidence.records;
        const std::int64_t target = Target(word, fileSize);
        if (target < 0) continue;
        ++evidence.entriesInRom;
        const RecordTraits traits = traitsAt(target);
        if (!traits.decodes) continue;
        ++evidence.decoded;
        const int item = kFirstEffectItem + k;
        if (item == kPotionItem) evidence.potionHeals = traits.healsHp;
        if (Contains(kXItems, item) && traits.raisesStages) ++evidence.xItemsRaiseStages;
        if (Contains(kVitaminItems, item) && traits.raisesEvs) ++evidence.vitaminsRaiseEvs;
        if (Contains(kEvolutionStoneItems, item) && traits.evolutionStone) ++evidence.stonesEvolve;
    }
    return evidence;
}

std::span<const Byte> RecordBytes(std::span<const Byte> rom, std::int64_t at)
{
    const auto size = static_cast<std::int64_t>(rom.size());
    return rom.subspan(static_cast<std::size_t>(at), static_cast<std::size_t>(std::min<std::int64_t>(kItemEffectMaxLength, size - at)));
}

std::string Hex(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

}  // namespace

bool ItemEffectTableEvidence::IsItemEffectTable() const
{
    return entriesInRom == kItemEffectEntries && decoded == records && records * 3 >= kItemEffectEntries &&
           potionHeals && xItemsRaiseStages >= static_cast<int>(kXItems.size()) - 1 &&
           vitaminsRaiseEvs >= static_cast<int>(kVitaminItems.size()) - 1 &&
           stonesEvolve >= static_cast<int>(kEvolutionStoneItems.size()) - 1;
}

std::string ItemEffectTableEvidence::Describe() const
{
    return std::to_string(entriesInRom) + " of " + std::to_string(kItemEffectEntries) + " entries 0 or in the ROM, " +
           std::to_string(decoded) + " of " + std::to_string(records) + " records decode, POTION " +
           (potionHeals ? "heals" : "does not heal") + ", X items " + std::to_string(xItemsRaiseStages) + " of " +
           std::to_string(kXItems.size()) + ", vitamins " + std::to_string(vitaminsRaiseEvs) + " of " +
           std::to_string(kVitaminItems.size()) + ", evolution stones " + std::to_string(stonesEvolve) + " of " +
           std::to_string(kEvolutionStoneItems.size());
}

ItemEffectTableEvidence WeighItemEffectTable(std::span<const Byte> rom, std::int64_t offset)
{
    const auto size = static_cast<std::int64_t>(rom.size());
    if (offset < 0 || offset + kItemEffectTableSize > size) return {};
    const auto table = rom.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(kItemEffectTableSize));
    return Weigh(table, size, [&](std::int64_t at) { return TraitsOf(RecordBytes(rom, at)); });
}

Result<ItemEffectRecords> ItemEffectRecords::Read(RomFile& file, std::span<const Byte> table)
{
    // The released games keep their 63 or 69 records within 2 KiB; a table whose records lie
    // further apart than this is read record by record.
    constexpr std::int64_t kLargestBlock = 64 * 1024;
    ItemEffectRecords records(file);
    const std::int64_t size = file.Size();
    std::int64_t low = size;
    std::int64_t high = 0;
    for (std::size_t at = 0; at + 4 <= table.size(); at += 4) {
        const std::int64_t target = Target(ReadLe32(table, at), size);
        if (target < 0) continue;
        low = std::min(low, target);
        high = std::max(high, std::min<std::int64_t>(target + kItemEffectMaxLength, size));
    }
    if (low < high && high - low <= kLargestBlock) {
        auto block = file.ReadAt(low, high - low);
        if (!block) return block.error();
        records.start_ = low;
        records.block_ = std::move(*block);
    }
    return records;
}

Result<std::span<const Byte>> ItemEffectRecords::At(std::int64_t offset)
{
    const std::int64_t count = std::min<std::int64_t>(kItemEffectMaxLength, file_->Size() - offset);
    const std::int64_t end = start_ + static_cast<std::int64_t>(block_.size());
    if (offset >= start_ && offset + count <= end) {
        return std::span<const Byte>(block_).subspan(static_cast<std::size_t>(offset - start_), static_cast<std::size_t>(count));
    }
    auto bytes = file_->ReadAt(offset, count);
    if (!bytes) return bytes.error();
    single_ = std::move(*bytes);
    return std::span<const Byte>(single_);
}

Result<ItemEffectTableEvidence> WeighItemEffectTable(RomFile& file, std::int64_t offset)
{
    const std::int64_t size = file.Size();
    if (offset < 0 || offset + kItemEffectTableSize > size) return ItemEffectTableEvidence{};
    auto table = file.ReadAt(offset, kItemEffectTableSize);
    if (!table) return table.error();
    auto records = ItemEffectRecords::Read(file, *table);
    if (!records) return records.error();
    std::optional<Error> failure;
    const ItemEffectTableEvidence evidence = Weigh(*table, size, [&](std::int64_t at) -> RecordTraits {
        auto bytes = records->At(at);
        if (!bytes) {
            if (!failure) failure = bytes.error();
            return {};
        }
        return TraitsOf(*bytes);
    });
    if (failure) return *failure;
    return evidence;
}

bool MayBeItemEffectTable(std::span<const Byte> rom, std::int64_t offset)
{
    const auto size = static_cast<std::int64_t>(rom.size());
    if (offset < 0 || offset % 4 != 0 || offset + kItemEffectTableSize > size) return false;
    // Code and other data seldom hold 163 words in a row that are each 0 or a place in the ROM;
    // they are asked first, beside the named place, before POTION's record far from it.
    const std::int64_t potion = Target(ReadLe32(rom, static_cast<std::size_t>(offset)), size);
    if (potion < 0) return false;
    for (int k = 1; k < kItemEffectEntries; ++k) {
        const std::uint32_t word = ReadLe32(rom, static_cast<std::size_t>(offset + 4 * k));
        if (word != 0 && Target(word, size) < 0) return false;
    }
    return potion + kItemEffectFlagBytes <= size && (rom[static_cast<std::size_t>(potion + kHealHpFlagByte)] & kHealHpFlag) != 0;
}

bool ReadAsItemEffectTable(std::span<const Byte> rom, std::span<const std::uint32_t> namingWords)
{
    const auto size = static_cast<std::int64_t>(rom.size());
    for (const std::uint32_t word : namingWords) {
        const std::int64_t literal = word;
        if (literal % 4 != 0 || literal + 4 > size) continue;
        for (std::int64_t load = std::max<std::int64_t>(0, literal - kLdrLiteralReach - 2); load < literal; load += 2) {
            const std::uint32_t instruction = ReadLe16(rom, static_cast<std::size_t>(load));
            if ((instruction & kLdrLiteralMask) != kLdrLiteral) continue;
            if ((load & ~std::int64_t{3}) + 4 + 4 * std::int64_t{instruction & 0xFF} != literal) continue;
            const std::int64_t first = std::max<std::int64_t>(0, load - 2 * kInstructionReach);
            const std::int64_t last = std::min<std::int64_t>(size - 2, load + 2 * kInstructionReach);
            for (std::int64_t at = first; at <= last; at += 2) {
                if (at != load && (ReadLe16(rom, static_cast<std::size_t>(at)) & kSubsImmediateMask) == kSubsThirteen) return true;
            }
        }
    }
    return false;
}

std::vector<std::uint32_t> ItemEffectTableSearch::TablesReadByCode(std::span<const Byte> rom)
{
    // From the code's side: every `subs rM, #13`, then every `ldr rN, [pc, #…]` within reach of it
    // and the word that loads. One pass through the ROM's halfwords whatever the number of
    // candidates, and the instruction is rare enough that its neighbourhoods cost next to nothing.
    const auto size = static_cast<std::int64_t>(rom.size());
    std::vector<std::uint32_t> read;
    const auto loadsNear = [&](std::int64_t subs) {
        const std::int64_t first = std::max<std::int64_t>(0, subs - 2 * kInstructionReach);
        const std::int64_t last = std::min<std::int64_t>(size - 2, subs + 2 * kInstructionReach);
        for (std::int64_t load = first; load <= last; load += 2) {
            if (load == subs) continue;
            const std::uint32_t instruction = ReadLe16(rom, static_cast<std::size_t>(load));
            if ((instruction & kLdrLiteralMask) != kLdrLiteral) continue;
            const std::int64_t literal = (load & ~std::int64_t{3}) + 4 + 4 * std::int64_t{instruction & 0xFF};
            if (literal + 4 <= size) read.push_back(ReadLe32(rom, static_cast<std::size_t>(literal)));
        }
    };
    // Eight halfwords at a time, as two 64-bit numbers whose lanes are each compared with the
    // instruction without a branch; the rare pair holding it is then looked at lane by lane. The
    // lanes hold the ROM's byte order, the host's on every platform built for.
    constexpr std::uint64_t kLanes = 0x0001000100010001;
    constexpr std::uint64_t mask = kSubsImmediateMask * kLanes;
    constexpr std::uint64_t wanted = kSubsThirteen * kLanes;
    const auto holds = [&](std::uint64_t lanes) {
        const std::uint64_t differ = (lanes & mask) ^ wanted;
        return (differ - kLanes) & ~differ & (kLanes << 15);
    };
    const std::size_t pairs = std::endian::native == std::endian::little ? rom.size() / 16 : 0;
    for (std::size_t p = 0; p < pairs; ++p) {
        std::uint64_t lanes[2];
        std::memcpy(lanes, rom.data() + 16 * p, sizeof lanes);
        if ((holds(lanes[0]) | holds(lanes[1])) == 0) continue;
        for (std::size_t k = 8 * p; k < 8 * p + 8; ++k) {
            if ((ReadLe16(rom, 2 * k) & kSubsImmediateMask) == kSubsThirteen) loadsNear(static_cast<std::int64_t>(2 * k));
        }
    }
    for (std::size_t k = 8 * pairs; k < rom.size() / 2; ++k) {
        if ((ReadLe16(rom, 2 * k) & kSubsImmediateMask) == kSubsThirteen) loadsNear(static_cast<std::int64_t>(2 * k));
    }
    std::sort(read.begin(), read.end());
    read.erase(std::unique(read.begin(), read.end()), read.end());
    return read;
}

void ItemEffectTableSearch::Look(std::int64_t offset, std::uint32_t count)
{
    if (!MayBeItemEffectTable(rom_, offset)) return;
    // The places that pass the first look mostly name the same records: each is decoded once.
    const ItemEffectTableEvidence evidence =
        Weigh(rom_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(kItemEffectTableSize)),
              static_cast<std::int64_t>(rom_.size()), [&](std::int64_t at) {
                  const auto [known, added] = records_.try_emplace(at);
                  if (added) known->second = TraitsOf(RecordBytes(rom_, at));
                  return known->second;
              });
    if (evidence.IsItemEffectTable()) {
        candidates_.push_back({offset, count, evidence});
    } else {
        ++lookAlikes_;
    }
}

FoundItemEffects ItemEffectTableSearch::Choose() const
{
    FoundItemEffects found;
    found.lookAlikes = lookAlikes_;
    TableEvidence& chosen = found.table;
    chosen.candidates = static_cast<int>(candidates_.size());
    std::size_t pick = candidates_.size();
    if (candidates_.size() == 1) {
        // One place holds the evidence: no second pass through the ROM's words to ask the code.
        pick = 0;
    } else if (!candidates_.empty()) {
        std::vector<std::size_t> readByCode;
        const auto read = TablesReadByCode(rom_);
        for (std::size_t i = 0; i < candidates_.size(); ++i) {
            if (std::binary_search(read.begin(), read.end(), kRomBase + static_cast<std::uint32_t>(candidates_[i].offset))) {
                readByCode.push_back(i);
            }
        }
        if (readByCode.size() == 1) {
            pick = readByCode.front();
            found.readByCode = true;
        }
    }
    if (pick < candidates_.size()) {
        chosen.offset = candidates_[pick].offset;
        chosen.pointerCount = candidates_[pick].pointers;
        chosen.matchingRecords = candidates_[pick].evidence.decoded;
        found.evidence = candidates_[pick].evidence;
        return found;
    }
    if (candidates_.empty()) {
        found.problems.push_back("No place the ROM's pointers name holds the item-effect table (" +
                                 std::to_string(found.lookAlikes) +
                                 " name a healing POTION record, none the rest of the table); item effects are unknown");
        return found;
    }
    std::string places;
    for (const Candidate& candidate : candidates_) {
        chosen.tied.push_back(candidate.offset);
        places += (places.empty() ? "" : ", ") + Hex(candidate.offset);
    }
    found.problems.push_back(std::to_string(candidates_.size()) +
                             " places hold the item-effect table and no code tells which the game reads: " + places +
                             "; none of them is used, item effects are unknown");
    return found;
}

FoundItemEffects FindItemEffectTable(std::span<const Byte> rom, const PointerTargets& pointers)
{
    ItemEffectTableSearch search(rom);
    const auto offsets = pointers.Offsets();
    const auto counts = pointers.Counts();
    for (std::size_t i = 0; i < offsets.size(); ++i) search.Look(offsets[i], counts[i]);
    return search.Choose();
}

}  // namespace quillbox
