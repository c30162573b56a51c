#pragma once

#include "items/exchange/ItemColumns.h"
#include "items/opening/RomState.h"
#include "items/record/ItemOperations.h"
#include "base/Error.h"
#include "rom/Patch.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillbox {

// What the game's code does with an item id by its range alone, whatever the record says: the
// ball code counts throws per ball id, mail and berry data are found by id, the TM/HM move by id
// - 289, and the item-effect table holds ids 13 to 175. An item of such a role works only at an id
// of the same range.
enum class ItemRole {
    General,  // no code reads the id's range: any id the game knows suits it
    Effect,   // has an item-effect record: an id the item-effect table covers
    Ball,     // 1 to 12
    Mail,     // 121 to 132
    Berry,    // 133 to 175
    TmHm,     // 289 to 346
};

inline constexpr int kLastBallItem = 12;
inline constexpr int kFirstMailItem = 121;
inline constexpr int kLastMailItem = 132;
inline constexpr int kFirstBerryItem = 133;
inline constexpr int kLastBerryItem = 175;
// The game ends its item lists with 0xFFFF: no item may have it.
inline constexpr int kListEndItem = 0xFFFF;

// The role an item of this id has; `hasEffect` says whether its effect entry names a record.
ItemRole RoleOfItem(int id, bool hasEffect);
// The role's name in a sentence ("a Poké Ball").
std::string_view RoleName(ItemRole role);
// Whether an item of `role` works at `id` while the item-effect table covers ids up to
// `lastEffectItem`.
bool IdSuitsRole(int id, ItemRole role, int lastEffectItem);

// The entries the released games leave unused: named "????????" with index 0. Item 0 is the one
// the game shows for every id it does not know, never an unused entry.
bool IsUnusedEntry(int position, const ItemView& item);

// The unused ids (ascending) that can take an item of `role`, in the order they are given out.
std::vector<int> SuitingIds(std::span<const int> unused, ItemRole role);

// Refuses (NoItemId) a role that an id past the last item cannot have without new game code,
// saying why and which unused ids could take it.
Status CheckAppendable(ItemRole role, const RomState& state, std::span<const int> unused);

// The ids to give `count` new items of `role`, among `unused` (ascending): the named `id` alone
// when given, else the first that suit, general items taking the ids past the item-effect table
// first so that medicine keeps the ids that can heal. Refuses (NoItemId) naming the reason and
// the ids that could take the item.
Result<std::vector<int>> ChooseItemIds(std::span<const int> unused, ItemRole role, int count,
                                       std::optional<int> id, int itemCount, const std::vector<Text>& names);

// What a new item is to be: a copy of the record of `like` with what is given here.
struct NewItemRequest {
    int like = -1;
    std::optional<Text> name;  // the model's name when not given
    std::optional<std::uint16_t> price;
    std::optional<Text> description;  // line breaks as "\r\n" or "\n"; the model's text when not given
    // The description of each new item in turn, where they differ (an import's rows); an item
    // past the list's end takes `description`.
    std::vector<std::optional<Text>> descriptionsEach;
    // Point at the model's description instead of a copy of it in free space.
    bool shareDescription = false;
    std::optional<std::uint8_t> pocket;
    std::optional<std::filesystem::path> icon;  // a 24 by 24 PNG; the model's icon when not given
    int count = 1;
    // Ids past the last item even where unused ids would suit.
    bool append = false;
    std::optional<int> id;
    bool replaceUnknownCharacters = false;
};

// Where the tables lie after an addition that grew them.
struct GrownTables {
    int oldCount = 0;
    int newCount = 0;
    std::int64_t itemTable = 0;
    std::int64_t iconTable = 0;    // 0 for the games without icons
    std::int64_t effectTable = 0;  // 0 where the item-effect table is unknown
};

// Every write of an addition, to be applied as one change.
struct ItemAdditionPlan {
    std::optional<GrownTables> grown;  // set where the tables grow
    std::vector<int> positions;  // the new items, ascending
    std::vector<Patch> patches;
    int itemCount = 0;           // items after the addition
    Text name;                   // the new items' name as the list shows it
};

// The columns a new item may be given apart from its model's values, as every front end takes them.
inline constexpr std::array<std::string_view, 4> kNewItemColumns{"name", "price", "description", "pocket"};

// A request for items like `like` with the columns given by key, parsed as `set` and import parse
// them against the model (so the same text is taken or refused with the same words). Refuses a
// key other than kNewItemColumns.
Result<NewItemRequest> NewItemRequestFrom(const OpenedRom& rom, int like,
                                          std::span<const std::pair<std::string, ColumnInput>> values);

Result<ItemAdditionPlan> PlanItemAddition(const RomState& state, const NewItemRequest& request);

// The history's name of an addition: "Add Item of NAME", as every front end names it.
ChangeLabel AdditionChange(const ItemAdditionPlan& plan);
// Whether a change of the history is an addition, whose undo or redo may move the tables.
bool IsAdditionChange(const ChangeLabel& label);

// The section kept beside the ROM after the tables grew: where they now lie and the count.
std::vector<std::string> GrownTableLines(const RomState& state, const GrownTables& grown);

// The history's name of an import whose rows added items.
inline constexpr std::string_view kImportAddingItems = "Import Adding Items";

// Writes planned bytes as one change; where they grow the tables, the grown tables are kept
// beside the ROM first and put back if the ROM's write fails.
Status ApplyGrowing(const RomState& state, std::span<const Patch> patches, const ChangeLabel& label,
                    const std::optional<GrownTables>& grown);

// Plans and writes the addition as one change of the history; where the tables grow, they are
// kept beside the ROM (GrownTableLines) first, and put back if the ROM's write fails.
Result<ItemAdditionPlan> AddItems(const RomState& state, const NewItemRequest& request);

}  // namespace quillbox
