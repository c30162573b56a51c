// The set command: writes the named fields of one item, all or nothing.
#include "cli/CliSession.h"
#include "items/record/DescriptionGrowth.h"
#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemExport.h"
#include "items/record/ItemFields.h"
#include "items/record/RoutineGroups.h"
#include "editor/UserTexts.h"
#include "base/HexText.h"

#include <algorithm>
#include <map>

namespace quillbox {

namespace {

// The keys set takes besides the record's fields: what lies outside the record.
constexpr std::string_view kOtherKeys[] = {"description", "tmMove", "descriptionOffset", "imageOffset", "paletteOffset"};

bool IsSetKey(std::string_view key)
{
    if (key.starts_with("effect.")) return FindEffectField(key.substr(7)) != nullptr;
    return FindRecordField(key) != nullptr || std::find(std::begin(kOtherKeys), std::end(kOtherKeys), key) != std::end(kOtherKeys);
}

std::optional<std::string> CheckHex(const std::string& key, const std::string& value, std::size_t digits)
{
    const Text text = FromUtf8(value);
    if (text.size() > digits || (!text.empty() && !IsHexText(text))) {
        return key + " \"" + value + "\" is not hexadecimal text of at most " + std::to_string(digits) + " digits";
    }
    return std::nullopt;
}

}  // namespace

std::string SetKeyList()
{
    std::string text;
    for (const RecordField& field : RecordFields()) text += (text.empty() ? "" : ", ") + std::string(field.key);
    for (const std::string_view key : kOtherKeys) text += ", " + std::string(key);
    for (const EffectField& field : EffectFields()) text += ", effect." + std::string(field.key);
    return text;
}

int Set(Session& session, const Arguments& args)
{
    if (args.size() < 3) return session.Fail("set takes a ROM, a position and KEY=VALUE pairs", kExitUsage);
    if (session.options.relocate && session.options.ownCopy) {
        return session.Fail("--relocate and --own-copy exclude each other", kExitUsage);
    }
    std::map<std::string, std::string> values;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::size_t equals = args[i].find('=');
        const std::string key = args[i].substr(0, equals);
        if (equals == std::string::npos || !IsSetKey(key)) {
            return session.Fail("\"" + args[i] + "\" is not KEY=VALUE with a key of: " + SetKeyList(), kExitUsage);
        }
        // An older key names the same field as its newer one.
        const RecordField* field = FindRecordField(key);
        values[field != nullptr ? std::string(field->key) : key] = args[i].substr(equals + 1);
    }

    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail("no item at position \"" + args[1] + "\"");
    auto item = ReadItem(rom->state, *position);
    if (!item) return session.Fail(item.error());

    ItemEdit edit;
    std::optional<std::string> refused;
    auto hex = [&](const std::string& key, std::optional<std::string>& field, std::size_t digits) {
        if (refused || !values.contains(key)) return;
        refused = CheckHex(key, values[key], digits);
        if (!refused) field = values[key];
    };
    if (values.contains("description")) edit.description = FromUtf8(values["description"]);
    edit.replaceUnknownCharacters = session.options.replaceUnknown;
    auto routines = RoutineGroupsOf(rom->state);
    if (!routines) return session.Fail(routines.error());
    const auto sameFieldRoutine = (*routines)->FieldRoutineUsers(FindRecordField("fieldUsageCodePointer")->read(*item));
    for (const RecordField& field : RecordFields()) {
        const auto given = values.find(std::string(field.key));
        if (given == values.end()) continue;
        if (field.kind == FieldKind::GameText) {
            edit.name = FromUtf8(given->second);
            continue;
        }
        // Pointers keep the spelling they were given (an empty one is 0), as the window's boxes do.
        if (field.kind == FieldKind::Pointer && given->second.empty()) {
            field.writeText(edit, "");
            continue;
        }
        auto value = ParseFieldValue(field, *rom->family, given->second, MeaningOfField(field, *rom->family, *item, sameFieldRoutine));
        if (!value) return session.Fail(value.error().message);
        field.write(edit, *value);
    }
    if (values.contains("tmMove")) {
        const std::string& text = values["tmMove"];
        const bool digits = !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
        if (!digits || std::stoul(text) > kMoveCount) {
            return session.Fail("tmMove takes a whole number from 0 to " + std::to_string(kMoveCount) + ", not \"" + text + "\"");
        }
        edit.tmMove = static_cast<std::uint16_t>(std::stoul(text));
    }
    std::optional<std::string> descriptionOffset, imageOffset, paletteOffset;
    hex("descriptionOffset", descriptionOffset, 7);
    hex("imageOffset", imageOffset, 6);
    hex("paletteOffset", paletteOffset, 6);
    if (refused) return session.Fail(*refused);

    std::vector<Patch> patches;
    // The effect's members given make one new record, planned like the window's Save Effect.
    bool effectGiven = false;
    for (const auto& [key, text] : values) effectGiven = effectGiven || key.starts_with("effect.");
    if (effectGiven) {
        auto effect = ReadItemEffect(rom->state, *position);
        if (!effect) return session.Fail(effect.error());
        ItemEffect changed = effect->effect;
        for (const auto& [key, text] : values) {
            if (!key.starts_with("effect.")) continue;
            if (auto set = SetEffectField(changed, std::string_view(key).substr(7), text); !set) return session.Fail(set.error().message);
        }
        auto planned = PlanEffectSave(rom->state, *position, changed);
        if (!planned) return session.Fail(planned.error());
        patches = std::move(planned->patches);
    }
    DescriptionPlace place{item->descriptionOffset, item->descriptionRoomBytes};
    if (descriptionOffset) {
        auto repoint = PlanDescriptionRepoint(rom->state, *position, *descriptionOffset);
        if (!repoint) return session.Fail(repoint.error());
        place = {repoint->repoint.offset, repoint->repoint.roomBytes};
        patches.push_back(std::move(repoint->pointer));
    }
    const DescriptionMove move = session.options.ownCopy   ? DescriptionMove::OwnCopy
                                 : session.options.relocate ? DescriptionMove::Relocate
                                                            : DescriptionMove::None;
    auto saved = PlanItemSave(rom->state, *position, edit, place, move);
    if (!saved && saved.error().code == ErrorCode::DescriptionTooLong) {
        return session.Fail(saved.error().message + "; --relocate moves it to free space");
    }
    if (!saved && saved.error().code == ErrorCode::UnknownCharacters) {
        return session.Fail(saved.error().message + std::string(kReplaceUnknownHint));
    }
    if (!saved) return session.Fail(saved.error());
    patches.insert(patches.end(), saved->patches.begin(), saved->patches.end());
    if (imageOffset || paletteOffset) {
        auto image = PlanImageRepoint(rom->state, *position, imageOffset.value_or(item->imageOffsetText.value_or("")),
                                      paletteOffset.value_or(item->paletteOffsetText.value_or("")));
        if (!image) return session.Fail(image.error());
        patches.insert(patches.end(), image->begin(), image->end());
    }
    const DescriptionPlacement& description = saved->description;
    const char* label = !description.moved ? "Set" : move == DescriptionMove::OwnCopy ? "Own Copy of Description" : "Relocate Description";
    if (auto written = ApplyToRom(rom->state, patches, {label, *position}); !written) return session.Fail(written.error());
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
    if (!position) return session.Fail("no item at position \"" + args[1] + "\"");
    const auto model = ParsePosition(args[2], *rom);
    if (!model) return session.Fail("no item at position \"" + args[2] + "\"");
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
