// Commands that only read the ROM: info, list, moves, show and export.
#include "cli/CliSession.h"
#include "items/exchange/ItemColumns.h"
#include "items/exchange/ItemExport.h"
#include "items/effect/ItemEffects.h"
#include "editor/ItemForm.h"
#include "items/record/ItemTable.h"
#include "items/record/RoutineGroups.h"
#include "items/record/Sharing.h"
#include "editor/UserTexts.h"
#include "base/HexText.h"
#include "base/PathText.h"
#include "platform/LineEnds.h"

namespace quillbox {

namespace {

std::string Hex(std::int32_t offset) { return NumberToHex(static_cast<std::uint32_t>(offset)); }

}  // namespace

int Info(Session& session, const Arguments& args)
{
    if (args.size() != 1) return session.Fail("info takes one ROM", kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const RomState& s = rom->state;
    std::string text;
    text += "headerCode: " + s.headerCode + '\n';
    text += "gameCode: " + s.gameCode + '\n';
    text += "family: " + std::string(rom->family->codes[0]);
    if (rom->family->codes[1] != rom->family->codes[0]) text += "/" + std::string(rom->family->codes[1]);
    text += '\n';
    text += "version: " + std::to_string(s.versionByte) + '\n';
    text += "items: " + std::to_string(s.ItemCount()) + '\n';
    text += std::string("images: ") + (rom->family->hasImages ? "yes" : "no") + '\n';
    text += "ItemData: " + Hex(s.itemTableOffset) + '\n';
    text += "AttackNames: " + Hex(s.moveNamesOffset) + '\n';
    text += "TMData: " + (s.tmMovesKnown ? Hex(s.tmMovesOffset) : std::string("unknown")) + '\n';
    text += "IMGData: " + (rom->family->hasImages ? Hex(s.imageTableOffset) : std::string("-")) + '\n';
    text += "EffectData: " + (s.itemEffectsKnown ? Hex(s.itemEffectsOffset) : std::string("unknown")) + '\n';
    if (rom->origin.detected) {
        text += "offsets from: tables found in the ROM\n";
    } else if (rom->origin.romTables) {
        text += "offsets from: the tables kept for this ROM in " + PathText(rom->origin.file) + '\n';
    } else {
        text += "offsets from: section [" + rom->origin.section + "] of " +
                (rom->origin.userProfile ? "the user profile " : "the profile ") + PathText(rom->origin.file) + '\n';
    }
    for (const std::string& warning : rom->warnings) text += "warning: " + warning + '\n';
    session.out << text;
    return kExitSuccess;
}

int List(Session& session, const Arguments& args, bool moves)
{
    if (args.size() != 1) return session.Fail(std::string(moves ? "moves" : "list") + " takes one ROM", kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto& names = moves ? rom->moveNames : rom->itemNames;
    std::string text;
    text.reserve(names.size() * 16);
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += std::to_string(moves ? i + 1 : i);
        text += '\t';
        text += ToUtf8(names[i]);
        text += '\n';
    }
    session.out << text;
    return kExitSuccess;
}

int Show(Session& session, const Arguments& args)
{
    if (args.size() != 2) return session.Fail("show takes a ROM and a position", kExitUsage);
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    const auto position = ParsePosition(args[1], *rom);
    if (!position) {
        Error error = NoItemAt(args[1]);
        AddToError(error, "; positions run from 0 to " + std::to_string(rom->state.ItemCount() - 1));
        return session.Fail(error);
    }
    auto item = ReadItem(rom->state, *position);
    if (!item) return session.Fail(item.error());
    auto routines = RoutineGroupsOf(rom->state);
    if (!routines) return session.Fail(routines.error());
    const auto form = ShowItemForm(*rom, *item, **routines);
    auto effect = ReadItemEffect(rom->state, *position);
    if (!effect) return session.Fail(effect.error());
    const std::string fieldUsers = form.at("FUCP").words;
    const std::string battleUsers = form.at("BUCP").words;
    if (session.options.json) {
        nlohmann::json json = ItemToJson(*rom, *item, **routines, &*effect);
        json["fieldRoutineUsers"] = fieldUsers;
        json["battleRoutineUsers"] = battleUsers;
        auto pointers = ReadItemPointers(rom->state);
        if (!pointers) return session.Fail(pointers.error());
        const ItemSharing sharing = FindSharing(*pointers, nullptr, *position);
        json["descriptionSharedWith"] = sharing.description.items;
        json["imageSharedWith"] = sharing.image ? nlohmann::json(sharing.ImageSharedWith()) : nlohmann::json(nullptr);
        session.out << JsonText(json);
        return kExitSuccess;
    }
    const ColumnSource source{*rom, *item, **routines, &*effect};
    std::string text;
    for (const ItemColumn& column : ItemColumns()) {
        const ExportValue value = ColumnValue(column, source);
        // Of an effect's members only those it has are listed; export gives them all.
        const bool absent = std::holds_alternative<std::monostate>(value) || value == ExportValue{std::int64_t{0}};
        if (column.kind == ColumnKind::EffectMember && absent) continue;
        std::string shown = "-";
        if (const auto* number = std::get_if<std::int64_t>(&value)) shown = std::to_string(*number);
        if (const auto* string = std::get_if<std::string>(&value)) shown = *string;
        if (column.kind == ColumnKind::TmMove && item->tmMoveUnknown) shown = std::string(kTmMoveUnavailable);
        text += std::string(column.key) + ": ";
        for (char c : shown) text += c == '\n' ? std::string("\n    ") : std::string(1, c);
        text += '\n';
        if (column.kind == ColumnKind::CodePointer) {
            const bool field = column.key == "fieldUsageCodePointer";
            text += (field ? "fieldRoutineUsers: " + fieldUsers : "battleRoutineUsers: " + battleUsers) + '\n';
        }
    }
    session.out << text;
    return kExitSuccess;
}

int Export(Session& session, const Arguments& args)
{
    if (args.size() != 1) return session.Fail("export takes one ROM", kExitUsage);
    const std::string& format = session.options.format;
    if (format != "json" && format != "csv") {
        return session.Fail("--format takes json or csv, not \"" + format + "\"", kExitUsage);
    }
    auto rom = session.Open(args[0]);
    if (!rom) return kExitFailure;
    auto items = ReadItemTable(rom->state);
    if (!items) return session.Fail(items.error());
    const ExportFormat kind = format == "json" ? ExportFormat::Json : ExportFormat::Csv;
    const std::string_view recordEnd = kind == ExportFormat::Csv ? CsvRecordEnd() : "\n";
    if (session.options.output.empty()) {
        // Written as it is made; whether all of it arrived is asked once the command returns.
        ExportItems(*rom, *items, kind, [&session](std::string_view part) { session.out.write(part.data(), static_cast<std::streamsize>(part.size())); },
                    recordEnd);
        return kExitSuccess;
    }
    // A file is written whole or not at all, so the text is made whole first.
    const std::string data = ExportItems(*rom, *items, kind, recordEnd);
    if (auto failure = WriteWholeFile(PathFromText(session.options.output), data)) return session.Fail(*failure);
    return kExitSuccess;
}

}  // namespace quillbox
