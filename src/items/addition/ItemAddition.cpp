#include "items/addition/ItemAddition.h"

#include "base/FileWrite.h"
#include "base/HexText.h"
#include "base/PathText.h"
#include "rom/Profile.h"
#include "base/LittleEndian.h"
#include "image/IconImport.h"
#include "image/Png.h"
#include "items/effect/ItemEffects.h"
#include "items/growth/TableGrowth.h"
#include "items/opening/TableCheck.h"
#include "items/record/IconTransfer.h"
#include "items/record/ItemFields.h"
#include "items/record/ItemTable.h"
#include "items/record/RomSpace.h"
#include "items/record/RoutineGroups.h"
#include "text/GameText.h"

#include <algorithm>
#include <string>

namespace quillbox {

namespace {

constexpr int kImageEntrySize = 8;

std::string IdList(std::span<const int> ids)
{
    std::string text;
    for (std::size_t i = 0; i < ids.size() && i < 12; ++i) text += (i == 0 ? "" : ", ") + std::to_string(ids[i]);
    if (ids.size() > 12) text += ", ...";
    return text;
}

Error NoItemIdError(std::string detail)
{
    Error error = MakeError(ErrorCode::NoItemId, std::move(detail));
    error.field = "id";
    return error;
}

// The range of ids a role is bound to, or none for a role any id can take.
std::optional<std::pair<int, int>> BoundRange(ItemRole role)
{
    switch (role) {
    case ItemRole::Ball: return std::pair{1, kLastBallItem};
    case ItemRole::Mail: return std::pair{kFirstMailItem, kLastMailItem};
    case ItemRole::Berry: return std::pair{kFirstBerryItem, kLastBerryItem};
    case ItemRole::TmHm: return std::pair{kFirstTmItem, kLastTmItem};
    case ItemRole::General:
    case ItemRole::Effect: return std::nullopt;
    }
    return std::nullopt;
}

bool InFixedRange(int id)
{
    return (id >= 1 && id <= kLastBallItem) || (id >= kFirstMailItem && id <= kLastBerryItem) || id >= kFirstTmItem;
}

// A pocket the game fills by id range: the TM case lists TMs by their move, the berry pouch
// berries by their berry data.
std::optional<ItemRole> RoleOfPocket(const GameFamily& family, int pocket)
{
    if (pocket <= 0 || static_cast<std::size_t>(pocket) >= family.pocketNames.size()) return std::nullopt;
    const std::string_view name = family.pocketNames[static_cast<std::size_t>(pocket)];
    if (name == "TM Case" || name == "TM/HM's") return ItemRole::TmHm;
    if (name == "Berry Pouch" || name == "Berries") return ItemRole::Berry;
    return std::nullopt;
}

}  // namespace

std::vector<int> SuitingIds(std::span<const int> unused, ItemRole role)
{
    std::vector<int> suiting;
    for (const int candidate : unused) {
        if (IdSuitsRole(candidate, role, kLastEffectItem)) suiting.push_back(candidate);
    }
    // General items take the ids no item-effect entry covers first.
    if (role == ItemRole::General) {
        std::stable_partition(suiting.begin(), suiting.end(), [](int candidate) { return candidate > kLastEffectItem; });
    }
    return suiting;
}

Status CheckAppendable(ItemRole role, const RomState& state, std::span<const int> unused)
{
    if (role == ItemRole::General || (role == ItemRole::Effect && state.itemEffectsKnown)) return {};
    // What the game's code reads by id for each role, past which an appended id would read.
    std::string why;
    switch (role) {
    case ItemRole::Ball: why = "the ball code compares ids to 12 and counts throws in an 11-entry array"; break;
    case ItemRole::Mail: why = "mail is found by its id among ids 121 to 132"; break;
    case ItemRole::Berry: why = "the berry data is found by id - 133"; break;
    case ItemRole::TmHm: why = "the move is looked up at id - 289 in a list of 58"; break;
    case ItemRole::Effect: why = "this ROM's item-effect table is unknown, so the table cannot grow with the item table"; break;
    case ItemRole::General: break;
    }
    const std::vector<int> suiting = SuitingIds(unused, role);
    return NoItemIdError("an id past the last item cannot be " + std::string(RoleName(role)) + ": " + why +
                         (suiting.empty() ? "; no unused id can take it either" : "; these unused ids can: " + IdList(suiting)));
}

ItemRole RoleOfItem(int id, bool hasEffect)
{
    if (id >= 1 && id <= kLastBallItem) return ItemRole::Ball;
    if (id >= kFirstMailItem && id <= kLastMailItem) return ItemRole::Mail;
    if (id >= kFirstBerryItem && id <= kLastBerryItem) return ItemRole::Berry;
    if (IsTmItem(id)) return ItemRole::TmHm;
    return hasEffect ? ItemRole::Effect : ItemRole::General;
}

std::string_view RoleName(ItemRole role)
{
    switch (role) {
    case ItemRole::General: return "an item";
    case ItemRole::Effect: return "an item with an effect when used";
    case ItemRole::Ball: return "a Poke Ball";
    case ItemRole::Mail: return "mail";
    case ItemRole::Berry: return "a berry";
    case ItemRole::TmHm: return "a TM or HM";
    }
    return "an item";
}

bool IdSuitsRole(int id, ItemRole role, int lastEffectItem)
{
    if (id <= 0 || id >= kListEndItem) return false;
    if (const auto range = BoundRange(role)) return id >= range->first && id <= range->second;
    if (InFixedRange(id)) return false;
    return role == ItemRole::General || (id >= kFirstEffectItem && id <= lastEffectItem);
}

bool IsUnusedEntry(int position, const ItemView& item)
{
    return position > 0 && item.index == 0 && item.name == FromUtf8("????????");
}

Result<std::vector<int>> ChooseItemIds(std::span<const int> unused, ItemRole role, int count, std::optional<int> id,
                                       int itemCount, const std::vector<Text>& names)
{
    std::vector<int> suiting = SuitingIds(unused, role);
    if (id) {
        if (*id <= 0 || *id >= itemCount) {
            return NoItemIdError("there is no item " + std::to_string(*id) + " to take; the ROM has items 1 to " +
                                 std::to_string(itemCount - 1));
        }
        if (std::find(unused.begin(), unused.end(), *id) == unused.end()) {
            const std::string name = static_cast<std::size_t>(*id) < names.size() ? ToUtf8(names[static_cast<std::size_t>(*id)]) : "";
            return NoItemIdError("item " + std::to_string(*id) + " is " + name +
                                 "; only an unused entry (named \"????????\", index 0) can take a new item");
        }
        if (!IdSuitsRole(*id, role, kLastEffectItem)) {
            return NoItemIdError("item " + std::to_string(*id) + " cannot be " + std::string(RoleName(role)) +
                                 (suiting.empty() ? ": no unused id can" : "; these unused ids can: " + IdList(suiting)));
        }
        if (count != 1) return NoItemIdError("a named id takes one item");
        return std::vector<int>{*id};
    }
    if (static_cast<int>(suiting.size()) < count) {
        const std::string why = suiting.empty() ? "no unused id can be " + std::string(RoleName(role))
                                                : std::to_string(suiting.size()) + " unused ids can be " +
                                                      std::string(RoleName(role)) + " (" + IdList(suiting) + ")";
        return NoItemIdError(why + ", and " + std::to_string(count) + (count == 1 ? " was" : " were") + " asked for");
    }
    suiting.resize(static_cast<std::size_t>(count));
    std::sort(suiting.begin(), suiting.end());
    return suiting;
}

Result<NewItemRequest> NewItemRequestFrom(const OpenedRom& rom, int like,
                                          std::span<const std::pair<std::string, ColumnInput>> values)
{
    for (const auto& [key, value] : values) {
        const ItemColumn* column = FindItemColumn(key);
        if (column == nullptr ||
            std::find(kNewItemColumns.begin(), kNewItemColumns.end(), column->key) == kNewItemColumns.end()) {
            Error error = MakeError(ErrorCode::BadValue, "a new item takes a name, price, description and pocket, not \"" + key + "\"");
            error.field = key;
            return error;
        }
    }
    auto model = ReadItem(rom.state, like);
    if (!model) return model.error();
    auto routines = RoutineGroupsOf(rom.state);
    if (!routines) return routines.error();
    auto effect = ReadItemEffect(rom.state, like);
    if (!effect) return effect.error();
    auto columns = EditFromColumns({rom, *model, **routines, &*effect}, values);
    if (!columns) return columns.error();
    NewItemRequest request;
    request.like = like;
    const ItemEdit& edit = columns->edit;
    request.name = edit.name;
    request.price = edit.price;
    request.description = edit.description;
    request.pocket = edit.pocket;
    return request;
}

Result<ItemAdditionPlan> PlanItemAddition(const RomState& state, const NewItemRequest& request)
{
    const GameFamily* family = state.Family();
    if (family == nullptr) return MakeError(ErrorCode::UnsupportedRom);
    const int itemCount = state.ItemCount();
    if (request.like < 0 || request.like >= itemCount) {
        return MakeError(ErrorCode::NoSuchItem, "no item at position " + std::to_string(request.like) + " to copy");
    }
    if (request.count < 1 || request.count > kListEndItem) {
        Error error = MakeError(ErrorCode::BadValue, "the number of items to add must be 1 or more");
        error.field = "count";
        return error;
    }
    if (!state.textEditable) return MakeError(ErrorCode::TextNotEditable);
    auto items = ReadItemTable(state);
    if (!items) return items.error();
    const ItemView& model = (*items)[static_cast<std::size_t>(request.like)];

    auto effects = ReadItemEffects(state);
    if (!effects) return effects.error();
    const ItemEffectView& modelEffect = (*effects)[static_cast<std::size_t>(request.like)];
    // Where the item-effect table is unknown, an item in its range is taken to have an entry, so
    // that its copy keeps an id that can have one.
    const bool hasEffect = state.itemEffectsKnown ? modelEffect.Available() && modelEffect.recordOffset >= 0
                                                  : request.like >= kFirstEffectItem && request.like <= kLastEffectItem;
    const ItemRole role = RoleOfItem(request.like, hasEffect);

    const std::uint8_t pocket = request.pocket.value_or(model.pocket);
    if (pocket == 0) {
        Error error = MakeError(ErrorCode::BadValue, "an item in pocket 0 is in no pocket of the bag; give it a pocket");
        error.field = "pocket";
        return error;
    }
    const RecordField* pocketField = FindRecordField("pocket");
    if (Status known = CheckFieldValue(*pocketField, *family, pocket, model.pocket); !known) return known.error();
    if (const auto pocketRole = RoleOfPocket(*family, pocket); pocketRole && *pocketRole != role) {
        Error error = MakeError(ErrorCode::BadValue, "the " + std::string(family->pocketNames[static_cast<std::size_t>(pocket)]) +
                                                         " pocket holds only " +
                                                         (*pocketRole == ItemRole::TmHm ? "TMs and HMs" : "berries") +
                                                         ", and the new item is " + std::string(RoleName(role)));
        error.field = "pocket";
        return error;
    }

    std::vector<Text> names;
    names.reserve(items->size());
    std::vector<int> unused;
    for (const ItemView& item : *items) {
        names.push_back(item.name);
        if (IsUnusedEntry(item.position, item)) unused.push_back(item.position);
    }
    // Unused ids first; what they cannot take goes past the last item, where the role allows it.
    std::vector<int> ids;
    int appended = 0;
    if (request.append) {
        appended = request.count;
    } else if (request.id || (role != ItemRole::General && role != ItemRole::Effect)) {
        auto chosen = ChooseItemIds(unused, role, request.count, request.id, itemCount, names);
        if (!chosen) return chosen.error();
        ids = std::move(*chosen);
    } else {
        ids = SuitingIds(unused, role);
        ids.resize(std::min(ids.size(), static_cast<std::size_t>(request.count)));
        std::sort(ids.begin(), ids.end());
        appended = request.count - static_cast<int>(ids.size());
    }
    if (appended > 0) {
        if (Status can = CheckAppendable(role, state, unused); !can) return can.error();
        if (itemCount + appended > kMaxItemCount) {
            Error error = MakeError(ErrorCode::BadValue, "the item table can hold at most " + std::to_string(kMaxItemCount) +
                                                             " items, as the tables kept for a ROM name them; it has " +
                                                             std::to_string(itemCount));
            error.field = "count";
            return error;
        }
        for (int k = 0; k < appended; ++k) ids.push_back(itemCount + k);
    }

    ItemEdit texts;
    texts.name = request.name.value_or(model.name);
    if (!request.shareDescription) texts.description = request.description.value_or(model.description);
    texts.replaceUnknownCharacters = request.replaceUnknownCharacters;
    if (Status known = CheckUnknownCharacters(texts); !known) {
        Error error = known.error();
        error.field = UnknownCharacters(*texts.name).empty() ? "description" : "name";
        return error;
    }
    auto name = EncodeItemName(*texts.name);
    if (!name) {
        Error error = name.error();
        error.field = "name";
        return error;
    }

    auto image = ReadRomImage(state);
    if (!image) return image.error();
    ItemAdditionPlan plan;
    plan.positions = ids;
    plan.itemCount = itemCount + appended;
    plan.name = *texts.name;

    // The icon first: its planner takes free space of its own, and what it takes is then kept
    // out of reach of the grown tables, the descriptions and the effect records. It is planned
    // for the model, whose entry it would repoint: only its data is kept.
    std::vector<ByteRange> taken;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> icon;
    const std::int64_t modelIconEntry = static_cast<std::int64_t>(state.imageTableOffset) + std::int64_t{kImageEntrySize} * request.like;
    if (family->hasImages) {
        if (request.icon) {
            auto picture = ReadPng(*request.icon);
            if (!picture) return picture.error();
            auto indexed = QuantiseIcon(*picture);
            if (!indexed) return indexed.error();
            auto imported = PlanIconImport(state, request.like, *indexed, *image);
            if (!imported) return imported.error();
            taken.push_back({imported->imageOffset, imported->imageOffset + imported->size});
            for (const Patch& patch : imported->patches) {
                if (patch.offset < modelIconEntry || patch.offset >= modelIconEntry + kImageEntrySize) plan.patches.push_back(patch);
            }
            icon = std::make_pair(static_cast<std::uint32_t>(imported->imageOffset) + kRomBase,
                                  static_cast<std::uint32_t>(imported->paletteOffset) + kRomBase);
        } else {
            const auto entry = static_cast<std::size_t>(modelIconEntry);
            if (entry + kImageEntrySize > image->bytes.size()) return MakeError(ErrorCode::PastEndOfFile, "the model's icon entry");
            icon = std::make_pair(ReadLe32(image->bytes, entry), ReadLe32(image->bytes, entry + 4));
        }
    } else if (request.icon) {
        return MakeError(ErrorCode::NoImages);
    }
    auto space = FindFreeSpace(state, *image, taken);
    if (!space) return space.error();

    // Where the records, icons and effect entries go: the tables the game reads after the change.
    std::int64_t itemTable = state.itemTableOffset;
    std::int64_t iconTable = state.imageTableOffset;
    std::int64_t effectTable = state.itemEffectsKnown ? state.itemEffectsOffset : 0;
    if (appended > 0) {
        const ItemTables tables{itemTable, family->hasImages ? iconTable : 0, effectTable, itemCount};
        auto growth = PlanTableGrowth(image->bytes, *family, tables, *space, plan.itemCount);
        if (!growth) return growth.error();
        const std::vector<Patch> grown = growth->Patches();
        plan.patches.insert(plan.patches.begin(), grown.begin(), grown.end());
        itemTable = growth->itemTable;
        if (growth->iconTable != 0) iconTable = growth->iconTable;
        if (growth->effectTable != 0) effectTable = growth->effectTable;
        plan.grown = GrownTables{itemCount, plan.itemCount, itemTable, family->hasImages ? iconTable : 0, effectTable};
    }

    const std::size_t modelEntry = static_cast<std::size_t>(state.itemTableOffset) + std::size_t{kItemRecordSize} * static_cast<std::size_t>(request.like);
    const Bytes modelRecord(image->bytes.begin() + static_cast<std::ptrdiff_t>(modelEntry),
                            image->bytes.begin() + static_cast<std::ptrdiff_t>(modelEntry + kItemRecordSize));
    Bytes effectRecord;
    if (hasEffect && state.itemEffectsKnown) {
        const auto at = static_cast<std::size_t>(modelEffect.recordOffset);
        effectRecord.assign(image->bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            image->bytes.begin() + static_cast<std::ptrdiff_t>(at + static_cast<std::size_t>(modelEffect.length)));
    }
    const Bytes description = texts.description ? EncodeDescription(*texts.description) : Bytes{};
    for (std::size_t each = 0; each < plan.positions.size(); ++each) {
        const int id = plan.positions[each];
        const bool own = each < request.descriptionsEach.size() && request.descriptionsEach[each];
        Bytes record = modelRecord;
        std::copy(name->begin(), name->end(), record.begin() + ItemField::Name);
        PutLittleEndian(record, ItemField::Index, static_cast<std::uint32_t>(id), 2);
        if (request.price) PutLittleEndian(record, ItemField::Price, *request.price, 2);
        record[static_cast<std::size_t>(pocketField->offset)] = pocket;
        if (texts.description || own) {
            const Bytes text = own ? EncodeDescription(*request.descriptionsEach[each]) : description;
            auto place = space->Take(static_cast<std::int64_t>(text.size()));
            if (!place) return place.error();
            plan.patches.push_back({*place, text});
            PutLittleEndian(record, ItemField::DescPointer, static_cast<std::uint32_t>(*place) + kRomBase, 4);
        }
        plan.patches.push_back({itemTable + std::int64_t{kItemRecordSize} * id, std::move(record)});
        if (icon) {
            Bytes pair = LittleEndianBytes(icon->first, 4);
            const Bytes palette = LittleEndianBytes(icon->second, 4);
            pair.insert(pair.end(), palette.begin(), palette.end());
            plan.patches.push_back({iconTable + std::int64_t{kImageEntrySize} * id, std::move(pair)});
        }
        // Its own copy of the model's effect record; an unused entry that still names a record
        // is emptied, so that the copy of an item without an effect does not gain one.
        if (effectTable == 0 || id < kFirstEffectItem) continue;
        const bool hasEntry = appended > 0 || id < kFirstEffectItem + state.itemEffectEntries;
        if (!hasEntry) continue;
        const std::int64_t entry = effectTable + 4 * std::int64_t{id - kFirstEffectItem};
        if (!effectRecord.empty()) {
            auto place = space->Take(static_cast<std::int64_t>(effectRecord.size()));
            if (!place) return place.error();
            plan.patches.push_back({*place, effectRecord});
            plan.patches.push_back({entry, LittleEndianBytes(static_cast<std::uint32_t>(*place) + kRomBase, 4)});
        } else if (id < itemCount && (*effects)[static_cast<std::size_t>(id)].recordOffset >= 0) {
            plan.patches.push_back({entry, Bytes(4, 0)});
        }
    }
    for (const Patch& patch : plan.patches) {
        if (patch.offset < 0 || patch.offset + static_cast<std::int64_t>(patch.bytes.size()) > static_cast<std::int64_t>(image->bytes.size())) {
            return MakeError(ErrorCode::PastEndOfFile, "a write of the new item at " + NumberToHex(static_cast<std::uint64_t>(patch.offset)));
        }
    }
    return plan;
}

ChangeLabel AdditionChange(const ItemAdditionPlan& plan)
{
    const std::size_t added = plan.positions.size();
    return ChangeLabel(added == 1 ? "Add Item" : "Add " + std::to_string(added) + " Items",
                       plan.positions.empty() ? -1 : plan.positions.front(), ToUtf8(plan.name));
}

namespace {

std::string ProfileNumber(std::int64_t offset) { return "&H" + NumberToHex(static_cast<std::uint64_t>(offset)); }

}  // namespace

std::vector<std::string> GrownTableLines(const RomState& state, const GrownTables& grown)
{
    std::vector<std::string> lines{"; Written by Quillbox when the item table grew from " + std::to_string(grown.oldCount) +
                                   " to " + std::to_string(grown.newCount) + " items; serves this file alone.",
                                   "ItemData=" + ProfileNumber(grown.itemTable),
                                   "AttackNames=" + ProfileNumber(state.moveNamesOffset)};
    if (state.tmMovesKnown) lines.push_back("TMData=" + ProfileNumber(state.tmMovesOffset));
    if (grown.iconTable != 0) lines.push_back("IMGData=" + ProfileNumber(grown.iconTable));
    lines.push_back("ItemCount=" + std::to_string(grown.newCount));
    if (grown.effectTable != 0) {
        lines.push_back("EffectData=" + ProfileNumber(grown.effectTable));
        lines.push_back("EffectEntries=" + std::to_string(grown.newCount - kFirstEffectItem));
    }
    if (state.freeSpaceStart >= 0) lines.push_back("FreeSpaceStart=" + ProfileNumber(state.freeSpaceStart));
    lines.push_back(std::string(kGrownFromKey) + "=" + std::to_string(grown.oldCount));
    return lines;
}

bool IsAdditionChange(const ChangeLabel& label)
{
    return label.operation == "Add Item" || label.operation == kImportAddingItems ||
           (label.operation.starts_with("Add ") && label.operation.ends_with(" Items"));
}

Status ApplyGrowing(const RomState& state, std::span<const Patch> patches, const ChangeLabel& label,
                    const std::optional<GrownTables>& grown)
{
    if (!grown) return ApplyToRom(state, patches, label);
    // The tables are kept for the ROM before it changes, and put back as they were if the ROM's
    // write fails, so that the ROM and what opens it never disagree.
    const std::filesystem::path kept = RomTablesPathOf(state.romPath);
    std::error_code ec;
    const bool existed = std::filesystem::exists(kept, ec);
    std::optional<std::string> before;
    if (existed) {
        before = ReadProfileFileText(kept);
        if (!before) return MakeError(ErrorCode::FileRead, "could not read " + PathText(kept));
    }
    const std::vector<std::string> lines = GrownTableLines(state, *grown);
    if (Status keptNow = WriteProfileSection(kept, SectionNameToKeep(state.headerCode, state.versionByte), lines); !keptNow) {
        return keptNow.error();
    }
    if (Status written = ApplyToRom(state, patches, label); !written) {
        Error error = written.error();
        const bool putBack = existed ? !WriteFileWhole(kept, *before).has_value() : std::filesystem::remove(kept, ec);
        if (!putBack) {
            AddToError(error, "; the tables kept beside the ROM in " + PathText(kept) + " could not be put back");
        }
        return error;
    }
    return {};
}

Result<ItemAdditionPlan> AddItems(const RomState& state, const NewItemRequest& request)
{
    auto plan = PlanItemAddition(state, request);
    if (!plan) return plan.error();
    if (Status written = ApplyGrowing(state, plan->patches, AdditionChange(*plan), plan->grown); !written) return written.error();
    return plan;
}

}  // namespace quillbox
