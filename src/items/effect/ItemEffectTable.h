#pragma once

#include "rom/PointerScan.h"
#include "rom/RomFile.h"
#include "rom/TableFinder.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillbox {

// The item-effect table: one pointer for each item from POTION (13) to ENIGMA BERRY (175), the
// same in all five games, 0 where the item does nothing when used on a Pokémon. The game's
// item-effect code reads entry `item - 13`; ENIGMA BERRY's entry is 0 in every release, its
// record lives in the save.
inline constexpr int kFirstEffectItem = 13;
inline constexpr int kLastEffectItem = 175;
inline constexpr int kItemEffectEntries = kLastEffectItem - kFirstEffectItem + 1;
inline constexpr std::int64_t kItemEffectTableSize = 4 * std::int64_t{kItemEffectEntries};

// Items whose released records tell the real table from other pointer tables. Their ids are the
// same in Ruby, Sapphire, Emerald, FireRed and LeafGreen for every item from 13 to 175.
inline constexpr int kPotionItem = 13;
inline constexpr std::array<int, 5> kXItems{75, 76, 77, 78, 79};  // X Attack, X Defend, X Speed, X Accuracy, X Special
// HP Up, Protein, Iron, Carbos, Calcium, Zinc.
inline constexpr std::array<int, 6> kVitaminItems{63, 64, 65, 66, 67, 70};
// Sun, Moon, Fire, Thunder, Water and Leaf Stone.
inline constexpr std::array<int, 6> kEvolutionStoneItems{93, 94, 95, 96, 97, 98};

// How much a table of 163 words looks like the item-effect table the game reads.
struct ItemEffectTableEvidence {
    int entriesInRom = 0;      // entries that are 0 or name a place inside the file
    int records = 0;           // entries that are not 0
    int decoded = 0;           // of those, records that decode as effects and end inside the file
    bool potionHeals = false;  // POTION's record heals HP
    int xItemsRaiseStages = 0;
    int vitaminsRaiseEvs = 0;
    int stonesEvolve = 0;

    // Every entry 0 or a record inside the file that decodes, at least a third of them records
    // (the released games hold 63 or 69 of 163), POTION healing, and nearly all X items, vitamins
    // and evolution stones doing what they do in every release (a hack may change one of each).
    bool IsItemEffectTable() const;
    // "163 entries in the ROM, 63 records decode, POTION heals, X items 5 of 5, ..." for the user.
    std::string Describe() const;
};

// Weighs the 163 entries at `offset` of the whole ROM; nothing for a table outside it.
ItemEffectTableEvidence WeighItemEffectTable(std::span<const Byte> rom, std::int64_t offset);
// The same through an open file, reading the table and then the records it names.
Result<ItemEffectTableEvidence> WeighItemEffectTable(RomFile& file, std::int64_t offset);

// The records a table's entries name, as reading each on its own would give them (at most a
// record's longest length, fewer at the end of the file), but read in one piece when they lie
// near each other, as the games keep them: a read per record would cost more than all the rest.
class ItemEffectRecords {
public:
    // `table` is the table's words; entries naming no place inside the file are left aside.
    static Result<ItemEffectRecords> Read(RomFile& file, std::span<const Byte> table);
    // The bytes from `offset` on, which must be a place inside the file.
    Result<std::span<const Byte>> At(std::int64_t offset);

private:
    explicit ItemEffectRecords(RomFile& file) : file_(&file) {}
    RomFile* file_;
    std::int64_t start_ = 0;
    Bytes block_;
    Bytes single_;  // a record outside the block
};

// The cheap first look for scanning every named place: an aligned table inside the ROM whose
// POTION entry names a record that heals HP and whose every entry is 0 or a place in the ROM.
bool MayBeItemEffectTable(std::span<const Byte> rom, std::int64_t offset);

// Whether code reads the table at any of `namingWords` (file offsets of words naming it) as the
// game's code does: a Thumb `ldr rN, [pc, #…]` loading that word within a few instructions of a
// `subs rM, #13`, the item number taken down to the table's first entry. The compiled games
// hold the 13 in the instruction, not in the literal pool.
bool ReadAsItemEffectTable(std::span<const Byte> rom, std::span<const std::uint32_t> namingWords);

// What the ROM says about the item-effect table.
struct FoundItemEffects {
    // matchingRecords counts the chosen table's records; candidates the places holding the
    // table's evidence; tied lists them when several do and no code tells which the game reads.
    TableEvidence table;
    ItemEffectTableEvidence evidence;  // of the chosen table
    // The code indexing by item - 13 names the chosen table; asked only when several places hold
    // the evidence, a single one being the table without it.
    bool readByCode = false;
    // Places the pointers name whose POTION entry names a healing record but that hold no
    // item-effect table: what a finder going by that alone would have taken.
    int lookAlikes = 0;
    std::vector<std::string> problems;
};

// What the evidence asks of one record the table names.
struct ItemEffectRecordTraits {
    bool decodes = false;  // it decodes as an effect and ends inside the file
    bool healsHp = false;
    bool raisesStages = false;
    bool raisesEvs = false;
    bool evolutionStone = false;
};

// Only places holding the table's evidence are candidates; pointer counts never decide. One
// candidate is the table; of several, the one the item-effect code reads; otherwise none.
// Detect runs it inside the other tables' pass (ItemEffectTableSearch), at next to no cost.
FoundItemEffects FindItemEffectTable(std::span<const Byte> rom, const PointerTargets& pointers);

// The same, looking at the named places as another pass over them shows them (FindTables's
// NamedPlaceLook), then choosing.
class ItemEffectTableSearch {
public:
    explicit ItemEffectTableSearch(std::span<const Byte> rom) : rom_(rom) {}
    void Look(std::int64_t offset, std::uint32_t count);
    FoundItemEffects Choose() const;

private:
    struct Candidate {
        std::int64_t offset = 0;
        std::uint32_t pointers = 0;
        ItemEffectTableEvidence evidence;
    };
    // The words that code reads as ReadAsItemEffectTable asks, ascending: a candidate is read by
    // that code exactly where its address is among them.
    static std::vector<std::uint32_t> TablesReadByCode(std::span<const Byte> rom);
    std::span<const Byte> rom_;
    std::vector<Candidate> candidates_;
    int lookAlikes_ = 0;
    // The traits of each record weighed so far, by its offset.
    std::unordered_map<std::int64_t, ItemEffectRecordTraits> records_;
};

}  // namespace quillbox
