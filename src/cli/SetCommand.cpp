// The set command: writes the named fields of one item, all or nothing.
#include "cli/CliSession.h"
#include "items/record/DescriptionGrowth.h"
#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemColumns.h"
#include "items/record/ItemFields.h"
#include "items/record/RoutineGroups.h"
#include "editor/UserTexts.h"
#include "base/HexText.h"

#include <algorithm>
#include <vector>

namespace quillbox {

namespace {

// The columns set takes, as its help lists them: the record's fields, what lies outside the
// record, then the effect's members.
std::vector<const ItemColumn*> SetColumns()
{
    std::vector<const ItemColumn*> columns;
    for (const ColumnKind kind : {ColumnKind::Name, ColumnKind::Description, ColumnKind::TmMove, ColumnKind::DescriptionOffset,
                                  ColumnKind::IconOffset, ColumnKind::EffectMember}) {
        for (const ItemColumn& column : ItemColumns()) {
            const bool record = column.kind == ColumnKind::Name || column.kind == ColumnKind::Number || column.kind == ColumnKind::CodePointer;
            if (kind == ColumnKind::Name ? record : column.kind == kind) columns.push_back(&column);
        }
    }
    return columns;
}

}  // namespace

std::string SetKeyList()
{
    std::string text;
    for (const ItemColumn* column : SetColumns()) text += (text.empty() ? "" : ", ") + std::string(column->key);
    return text;
}

int Set(Session& session, const Arguments& args)
{
    if (args.size() < 3) return session.Fail("set takes a ROM, a position and KEY=VALUE pairs", kExitUsage);
    if (session.options.relocate && session.options.ownCopy) {
        return session.Fail("--relocate and --own-copy exclude each other", kExitUsage);
    }
    // Each key once, the last value given winning, as before.
    std::vector<std::pair<std::string, ColumnInput>> values;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::size_t equals = args[i].find('=');
        const ItemColumn* column = equals == std::string::npos ? nullptr : FindItemColumn(args[i].substr(0, equals));
        if (column == nullptr || column->ReadOnly()) {
            return session.Fail("\"" + args[i] + "\" is not KEY=VALUE with a key of: " + SetKeyList(), kExitUsage);
        }
        const std::string key(column->key);
        std::erase_if(values, [&](const auto& value) { return value.first == key; });
        values.emplace_back(key, ColumnInput::Typed(args[i].substr(equals + 1)));
    }

    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail(NoItemAt(args[1]));
    auto item = ReadItem(rom->state, *position);
    if (!item) return session.Fail(item.error());
    auto routines = RoutineGroupsOf(rom->state);
    if (!routines) return session.Fail(routines.error());
    auto effect = ReadItemEffect(rom->state, *position);
    if (!effect) return session.Fail(effect.error());
    auto columns = EditFromColumns({*rom, *item, **routines, &*effect}, values);
    if (!columns) return session.Fail(columns.error());
    ItemEdit& edit = columns->edit;
    edit.replaceUnknownCharacters = session.options.replaceUnknown;

    std::vector<Patch> patches;
    // The effect's members given make one new record, planned like the window's Save Effect.
    if (columns->effect) {
        auto planned = PlanEffectSave(rom->state, *position, *columns->effect);
        if (!planned) return session.Fail(planned.error());
        patches = std::move(planned->patches);
    }
    DescriptionPlace place{item->descriptionOffset, item->descriptionRoomBytes};
    if (columns->descriptionOffset) {
        auto repoint = PlanDescriptionRepoint(rom->state, *position, *columns->descriptionOffset);
        if (!repoint) return session.Fail(repoint.error());
        place = {repoint->repoint.offset, repoint->repoint.roomBytes};
        patches.push_back(std::move(repoint->pointer));
    }
    const DescriptionMove move = session.options.ownCopy   ? DescriptionMove::OwnCopy
                                 : session.options.relocate ? DescriptionMove::Relocate
                                                            : DescriptionMove::None;
    auto saved = PlanItemSave(rom->state, *position, edit, place, move);
    if (!saved && saved.error().code == ErrorCode::DescriptionTooLong) {
        return session.Fail(saved.error(), "; --relocate moves it to free space");
    }
    if (!saved && saved.error().code == ErrorCode::UnknownCharacters) {
        return session.Fail(saved.error(), kReplaceUnknownHint);
    }
    if (!saved) return session.Fail(saved.error());
    patches.insert(patches.end(), saved->patches.begin(), saved->patches.end());
    if (columns->imageOffset || columns->paletteOffset) {
        auto image = PlanImageRepoint(rom->state, *position, columns->imageOffset.value_or(item->imageOffsetText.value_or("")),
                                      columns->paletteOffset.value_or(item->paletteOffsetText.value_or("")));
        if (!image) return session.Fail(image.error());
        patches.insert(patches.end(), image->begin(), image->end());
    }
    const DescriptionPlacement& description = saved->description;
    const char* label = !description.moved ? "Set" : move == DescriptionMove::OwnCopy ? "Own Copy of Description" : "Relocate Description";
    // Values that were already so write nothing, and leave no step in the history.
    if (!patches.empty()) {
        if (auto written = ApplyToRom(rom->state, patches, {label, *position}); !written) return session.Fail(written.error());
    }
    if (description.moved) {
        session.out << "Description moved to " << NumberToHex(static_cast<std::uint64_t>(description.place.offset)) << " ("
                    << description.place.roomBytes << " bytes) for " << description.repointed.size()
                    << (description.repointed.size() == 1 ? " item\n" : " items\n");
    }
    session.out << kItemChanged << '\n';
    return kExitSuccess;
}

int UseLikeCommand(Session& session, const Arguments& args)
{
    if (args.size() != 3) return session.Fail("use-like takes a ROM, the item's position and the position of the item to use it like", kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail(NoItemAt(args[1]));
    const auto model = ParsePosition(args[2], *rom);
    if (!model) return session.Fail(NoItemAt(args[2]));
    auto item = ReadItem(rom->state, *model);
    if (!item) return session.Fail(item.error());
    auto patches = PlanSave(rom->state, *position, UseLike(*item), {});
    if (!patches) return session.Fail(patches.error());
    if (auto written = ApplyToRom(rom->state, *patches, UseLikeChange(*position)); !written) {
        return session.Fail(written.error());
    }
    session.out << kItemChanged << '\n';
    return kExitSuccess;
}

}  // namespace quillbox
