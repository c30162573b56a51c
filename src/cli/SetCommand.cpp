// The set command: writes the named fields of one item, all or nothing.
#include "cli/CliSession.h"
#include "items/DescriptionGrowth.h"
#include "items/ItemExport.h"
#include "items/UserTexts.h"
#include "rom/HexText.h"

#include <algorithm>
#include <map>

namespace quillbox {

namespace {

// Every exported key that names a stored field; the others are derived from those.
const std::vector<std::string>& SetKeys()
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> result;
        for (std::string_view key : kItemExportKeys) {
            if (key != "position" && key != "pocketName" && key != "tmMoveName" && key != "descriptionRoom") {
                result.emplace_back(key);
            }
        }
        return result;
    }();
    return keys;
}

std::string JoinKeys()
{
    std::string text;
    for (const std::string& key : SetKeys()) text += (text.empty() ? "" : ", ") + key;
    return text;
}

// A whole decimal number up to `limit`; otherwise the message that refuses it.
std::optional<std::string> ParseDecimal(const std::string& key, const std::string& value, unsigned limit, unsigned& result)
{
    const bool digits = !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
    const std::size_t significant = value.find_first_not_of('0');
    const bool small = digits && (significant == std::string::npos || value.size() - significant <= 9);
    const unsigned long number = small ? std::stoul(value) : 0;
    if (!small || number > limit) {
        return key + " takes a whole number from 0 to " + std::to_string(limit) + ", not \"" + value + "\"";
    }
    result = static_cast<unsigned>(number);
    return std::nullopt;
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
        if (equals == std::string::npos || std::find(SetKeys().begin(), SetKeys().end(), key) == SetKeys().end()) {
            return session.Fail("\"" + args[i] + "\" is not KEY=VALUE with a key of: " + JoinKeys(), kExitUsage);
        }
        values[key] = args[i].substr(equals + 1);
    }

    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) return session.Fail("no item at position \"" + args[1] + "\"");
    auto item = ReadItem(rom->state, *position);
    if (!item) return session.Fail(item.error());

    ItemEdit edit;
    std::optional<std::string> refused;
    auto word = [&](const std::string& key, std::optional<std::uint16_t>& field, unsigned limit) {
        if (refused || !values.contains(key)) return;
        unsigned number = 0;
        refused = ParseDecimal(key, values[key], limit, number);
        if (!refused) field = static_cast<std::uint16_t>(number);
    };
    auto byte = [&](const std::string& key, std::optional<std::uint8_t>& field, std::size_t entries) {
        if (refused || !values.contains(key)) return;
        unsigned number = 0;
        refused = ParseDecimal(key, values[key], static_cast<unsigned>(entries - 1), number);
        if (!refused) field = static_cast<std::uint8_t>(number);
    };
    auto hex = [&](const std::string& key, std::optional<std::string>& field, std::size_t digits) {
        if (refused || !values.contains(key)) return;
        refused = CheckHex(key, values[key], digits);
        if (!refused) field = values[key];
    };
    if (values.contains("name")) edit.name = FromUtf8(values["name"]);
    if (values.contains("description")) edit.description = FromUtf8(values["description"]);
    edit.replaceUnknownCharacters = session.options.replaceUnknown;
    word("index", edit.index, 65535);
    word("price", edit.price, 65535);
    word("tmMove", edit.tmMove, kMoveCount);
    byte("special1", edit.special1, 256);
    byte("special2", edit.special2, 256);
    byte("mystery1", edit.mystery1, rom->family->mystery1Entries.size());
    byte("mystery2", edit.mystery2, rom->family->mystery2Entries.size());
    byte("pocket", edit.pocket, rom->family->pocketNames.size());
    byte("battleUsage", edit.battleUsage, rom->family->battleUsageEntries.size());
    hex("fieldUsageCodePointer", edit.fieldUsageCodePointer, 6);
    hex("battleUsageCodePointer", edit.battleUsageCodePointer, 6);
    std::optional<std::string> descriptionOffset, imageOffset, paletteOffset;
    hex("descriptionOffset", descriptionOffset, 7);
    hex("imageOffset", imageOffset, 6);
    hex("paletteOffset", paletteOffset, 6);
    if (refused) return session.Fail(*refused);

    std::vector<Patch> patches;
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

}  // namespace quillbox
