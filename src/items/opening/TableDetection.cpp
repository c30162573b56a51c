#include "items/opening/TableDetection.h"

#include "items/growth/ItemCodeSites.h"

#include "items/opening/TableCheck.h"
#include "base/HexText.h"
#include "base/PathText.h"
#include "rom/PointerScan.h"

namespace quillbox {

namespace {

constexpr std::size_t kVersionByteOffset = 0xBC;

std::string Counted(std::uint64_t count, std::string_view what)
{
    return std::to_string(count) + " " + std::string(what) + (count == 1 ? "" : "s");
}

std::string ProfileHex(std::int64_t offset) { return "&H" + NumberToHex(static_cast<std::uint64_t>(offset)); }

struct NamedTable {
    std::string_view key;
    const TableEvidence* evidence;
    std::string_view what;
};

std::vector<NamedTable> TablesOf(const DetectedTables& detected)
{
    std::vector<NamedTable> tables{{"ItemData", &detected.found.items, "item records"},
                                   {"AttackNames", &detected.found.moveNames, "name slots"},
                                   {"TMData", &detected.found.tmMoves, "move numbers"}};
    if (detected.family != nullptr && detected.family->hasImages) {
        tables.push_back({"IMGData", &detected.found.images, "image entries"});
    }
    return tables;
}

std::string TiedList(const TableEvidence& evidence)
{
    std::string list;
    for (const std::int64_t offset : evidence.tied) {
        list += (list.empty() ? "" : ", ") + NumberToHex(static_cast<std::uint64_t>(offset));
    }
    return list;
}

}  // namespace

ProfileTables DetectedTables::Tables() const
{
    ProfileTables tables{found.items.offset, found.moveNames.offset, found.tmMoves.offset, 0, {}};
    if (family != nullptr && family->hasImages) tables.imgData = found.images.offset;
    tables.tmListUnknown = !found.tmMoves.Found();
    if (tables.tmListUnknown) tables.tmData = 0;
    if (family != nullptr && found.itemCount != family->itemCount) tables.itemCount = found.itemCount;
    if (effects.table.Found()) tables.effectData = effects.table.offset;
    return tables;
}

std::vector<std::string> DetectedTables::ProfileLines() const
{
    std::vector<std::string> lines;
    for (const NamedTable& table : TablesOf(*this)) {
        if (table.evidence->Found()) lines.push_back(std::string(table.key) + "=" + ProfileHex(table.evidence->offset));
    }
    if (const auto count = Tables().itemCount; count && found.items.Found()) {
        lines.push_back("ItemCount=" + std::to_string(*count));
    }
    if (effects.table.Found()) lines.push_back("EffectData=" + ProfileHex(effects.table.offset));
    return lines;
}

Result<DetectedTables> DetectTables(std::span<const Byte> rom)
{
    if (rom.size() <= kVersionByteOffset) {
        return MakeError(ErrorCode::RomTooShort, "no ROM header at AC in a file of " + std::to_string(rom.size()) +
                                                     " bytes");
    }
    DetectedTables detected;
    detected.headerCode.assign(rom.begin() + kHeaderCodeOffset, rom.begin() + kHeaderCodeOffset + 4);
    detected.versionByte = rom[kVersionByteOffset];
    if (!IsPrintableHeaderCode(detected.headerCode)) {
        return MakeError(ErrorCode::UnsupportedRom, "the header code at AC is " +
                                                        BytesToHex(rom.subspan(kHeaderCodeOffset, 4)) +
                                                        ", not four printable characters");
    }
    detected.family = FindGameFamily(GameCodeOf(detected.headerCode));
    if (detected.family == nullptr) {
        return MakeError(ErrorCode::UnsupportedRom, "game code \"" + std::string(GameCodeOf(detected.headerCode)) + "\"");
    }
    // One scan of the ROM's words serves every table.
    const PointerTargets pointers = ScanPointers(rom);
    ItemEffectTableSearch effects(rom);
    detected.found = FindTables(rom, pointers, detected.family,
                                [&](std::int64_t at, std::uint32_t count) { effects.Look(at, count); });
    detected.effects = effects.Choose();
    // The count the game's own code holds wins over how many records look like items: a grown
    // table may be followed by data that looks like more, or hold unused records at its end.
    if (detected.found.items.Found()) {
        if (auto count = ItemCountFromCode(rom, *detected.family); count && *count > 0) detected.found.itemCount = *count;
    }
    return detected;
}

Result<DetectedTables> DetectTables(const std::filesystem::path& rom)
{
    auto whole = ReadWholeRom(rom);
    if (!whole) {
        return whole.error();
    }
    return DetectTables(whole->View());
}

Status CheckDetectedTables(const DetectedTables& detected)
{
    for (const NamedTable& table : TablesOf(detected)) {
        // A ROM opens without its TM/HM list; its moves are then unknown.
        if (table.evidence->Found() || table.key == "TMData") continue;
        if (!table.evidence->tied.empty()) {
            return MakeError(ErrorCode::TablesDisagree,
                             std::string(table.key) + ": places " + TiedList(*table.evidence) +
                                 " have equal evidence; neither is chosen");
        }
        return MakeError(ErrorCode::TableNotFound, std::string(table.key) + ": no table the game's pointers name fits");
    }
    return {};
}

std::string FormatDetectedSection(const DetectedTables& detected)
{
    std::string text = "[" + detected.SectionName() + "]\n";
    for (const std::string& line : detected.ProfileLines()) text += line + "\n";
    for (const NamedTable& table : TablesOf(detected)) {
        const TableEvidence& evidence = *table.evidence;
        text += "; " + std::string(table.key) + ": ";
        const bool tmList = table.key == "TMData";
        if (evidence.Found()) {
            text += Counted(evidence.pointerCount, "pointer") +
                    (evidence.namedByHeader ? ", named by the header at 0x100" : "") + ", " +
                    std::to_string(evidence.matchingRecords) + " " + std::string(table.what) + " fit, ";
            if (tmList) {
                text += detected.found.tmList.Describe() +
                        (detected.found.tmListReadByCode ? ", read by the TM/HM code" : "") + ", ";
            }
            text += Counted(static_cast<std::uint64_t>(evidence.candidates), "candidate");
            if (tmList) text += " of " + std::to_string(detected.found.tmLookAlikes) + " lists of 58 move numbers";
            text += "\n";
        } else if (!evidence.tied.empty()) {
            text += tmList ? "not found: " + TiedList(evidence) + " all hold the TM/HM moves and no code tells which the game reads\n"
                           : "not chosen: " + TiedList(evidence) + " have equal evidence\n";
        } else if (tmList) {
            text += "not found: none of " + std::to_string(detected.found.tmLookAlikes) +
                    " lists of 58 move numbers holds the TM/HM moves\n";
        } else {
            text += "not found\n";
        }
    }
    const FoundItemEffects& effects = detected.effects;
    text += "; EffectData: ";
    if (effects.table.Found()) {
        text += Counted(effects.table.pointerCount, "pointer") + ", " + effects.evidence.Describe() +
                (effects.readByCode ? ", read by the item-effect code" : "") + ", " +
                Counted(static_cast<std::uint64_t>(effects.table.candidates), "candidate") + " of " +
                std::to_string(effects.table.candidates + effects.lookAlikes) +
                " places naming a healing POTION record\n";
    } else if (!effects.table.tied.empty()) {
        text += "not found: " + TiedList(effects.table) +
                " all hold the item-effect table and no code tells which the game reads\n";
    } else {
        text += "not found: none of " + std::to_string(effects.lookAlikes) +
                " places naming a healing POTION record holds the rest of the table\n";
    }
    for (const std::string& problem : detected.found.problems) text += "; " + problem + "\n";
    for (const std::string& problem : effects.problems) text += "; " + problem + "\n";
    return text;
}

Status KeepFoundTables(const std::filesystem::path& rom, const DetectedTables& detected)
{
    std::vector<std::string> lines{"; Found in " + PathText(rom.filename()) + " by Quillbox; serves this file alone."};
    for (std::string& line : detected.ProfileLines()) lines.push_back(std::move(line));
    if (!detected.found.tmMoves.Found()) lines.push_back("; No TMData: the TM/HM list was not found, its moves stay unknown.");
    if (!detected.effects.table.Found()) {
        lines.push_back("; No EffectData: the item-effect table was not found, item effects stay unknown.");
    }
    return WriteProfileSection(RomTablesPathOf(rom), detected.SectionName(), lines);
}

std::int64_t ItemTableReadElsewhere(RomFile& file, const RomState& state)
{
    const HeaderItemTable header = ItemTableNamedByHeader(file, state);
    if (header.namesState) return -1;
    if (header.other >= 0) return header.other;
    auto reached = AnyWordNames(file, state.itemTableOffset);
    if (!reached || *reached) return -1;
    auto detected = DetectTables(file.Path());
    if (!detected || !detected->found.items.Found()) return -1;
    const std::int64_t found = detected->found.items.offset;
    return found != state.itemTableOffset ? found : -1;
}

std::string DescribeDetectedTables(const DetectedTables& detected)
{
    std::string text;
    for (const NamedTable& table : TablesOf(detected)) {
        const TableEvidence& evidence = *table.evidence;
        text += std::string(table.key) + ": ";
        text += evidence.Found() ? NumberToHex(static_cast<std::uint64_t>(evidence.offset)) +
                                       " (" + Counted(evidence.pointerCount, "pointer") + ")"
                                 : std::string("not found");
        if (table.key == "TMData" && !evidence.Found()) text += "; TM/HM moves will not be shown or written";
        if (table.key == "ItemData" && evidence.Found()) text += ", " + std::to_string(detected.found.itemCount) + " items";
        text += "\n";
    }
    const TableEvidence& effects = detected.effects.table;
    text += "EffectData: " + (effects.Found() ? NumberToHex(static_cast<std::uint64_t>(effects.offset)) + " (" +
                                                    Counted(effects.pointerCount, "pointer") + ")"
                                              : std::string("not found; item effects will not be shown or written")) +
            "\n";
    return text;
}

}  // namespace quillbox
