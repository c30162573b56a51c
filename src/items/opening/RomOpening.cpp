#include "items/opening/RomOpening.h"

#include "items/record/ItemTable.h"
#include "items/opening/TableCheck.h"
#include "items/opening/TableDetection.h"
#include "base/HexText.h"
#include "base/PathText.h"
#include "rom/RomFile.h"
#include "rom/TmHmList.h"

#include <utility>
#include <vector>

namespace quillbox {

namespace {

constexpr int kImageEntrySize = 8;
constexpr int kVersionByteOffset = 0xBC;

std::string HexOffset(std::int64_t offset) { return NumberToHex(static_cast<std::uint32_t>(offset)); }

Status CheckTable(const RomFile& file, std::int64_t offset, std::int64_t size, std::string_view name)
{
    if (offset < 0 || offset > kMaxOffset) {
        return MakeError(ErrorCode::BadOffset, std::string(name) + " " + std::to_string(offset));
    }
    if (offset + size > file.Size()) {
        return MakeError(ErrorCode::RomTooShort, std::string(name) + " at " + HexOffset(offset) + " needs " +
                                                     std::to_string(size) + " bytes, the file has " +
                                                     HexOffset(file.Size()));
    }
    return {};
}

std::string Describe(const ProfileSection& section)
{
    if (section.romTables) return "the tables kept for this ROM in " + PathText(section.file);
    return "section [" + section.name + "] of " + PathText(section.file);
}

std::string Describe(const PassedOverFile& passed)
{
    const std::string what = passed.romTables     ? "the tables kept for this ROM in "
                             : passed.userProfile ? "the user profile "
                                                  : "the profile ";
    return what + PathText(passed.file) + " " + passed.problem;
}

// Passed-over files worth telling about when the ROM opens all the same: a profile that is not
// one or cannot be read, and tables kept for this ROM that serve it not. A profile with sections
// for other games only is no fault.
bool WorthAWarning(const PassedOverFile& passed)
{
    return passed.romTables || passed.why != PassedOverFile::Why::NoSection;
}

// The ROM as `tables` describe it, checked against its bytes. `first` is a state holding what
// the header said.
Result<OpenedRom> OpenWithTables(RomFile& file, const OpenedRom& first, const ProfileTables& tables,
                                 const std::string& where)
{
    OpenedRom opened = first;
    RomState& state = opened.state;
    if (auto taken = TakeTables(state, *opened.family, tables, where); !taken) {
        return taken.error();
    }
    const int items = state.ItemCount();
    Status fits = CheckTable(file, state.itemTableOffset, std::int64_t{kItemRecordSize} * items, "the item table");
    if (fits) fits = CheckTable(file, state.moveNamesOffset, std::int64_t{kMoveNameSize} * kMoveCount, "the move names");
    if (fits && state.tmMovesKnown) fits = CheckTable(file, state.tmMovesOffset, 2 * kTmHmEntries, "the TM/HM move list");
    if (fits && opened.family->hasImages) {
        fits = CheckTable(file, state.imageTableOffset, std::int64_t{kImageEntrySize} * items, "the item image table");
    }
    if (!fits) {
        return fits.error();
    }

    auto records = file.ReadAt(state.itemTableOffset, std::int64_t{kItemRecordSize} * items);
    if (!records) {
        return records.error();
    }
    auto moveNames = file.ReadAt(state.moveNamesOffset, std::int64_t{kMoveNameSize} * kMoveCount);
    if (!moveNames) {
        return moveNames.error();
    }
    // Offsets that name no table are never written through: an item table that fails refuses
    // the section, a TM/HM list that fails is unknown, an image table is shown but left alone.
    const TableCheckReport check = CheckTables(file, state, *opened.family, *records, *moveNames);
    if (!check.items) {
        return MakePlacedError(ErrorCode::TablesDisagree, check.problems.front() + " (" + where + ")", check.problems.front());
    }
    if (!tables.tmListUnknown && !check.tmMoves) state.tmMovesKnown = false;
    state.imagesWritable = check.images;
    for (std::size_t i = 0; i < check.problems.size(); ++i) {
        const bool tmList = check.problemKeys[i] == "TMData";
        opened.warnings.push_back(check.problems[i] + (tmList ? "; TM/HM moves are not shown or written" : "; it is shown but not written"));
    }
    if (tables.tmListUnknown) {
        opened.warnings.push_back("this ROM's TM/HM move list is unknown; TM/HM moves are not shown or written");
    }
    // The item-effect table never refuses a section: without its evidence its effects are unknown.
    if (tables.effectData != 0) {
        if (const auto problem = CheckItemEffectTable(file, tables.effectData)) {
            opened.warnings.push_back(*problem + "; item effects are not shown or written");
        } else {
            state.itemEffectsKnown = true;
        }
    }
    opened.itemNames = DecodeItemNames(*records, items);
    opened.moveNames = DecodeNames(*moveNames, kMoveCount, kMoveNameSize, kMoveNameSize);
    return opened;
}

// Whether every table of the family passed, not only the item table. A TM/HM list the section
// itself calls unknown is no failure of the section.
bool AllTablesPass(const OpenedRom& opened, const ProfileTables& tables)
{
    return (tables.tmListUnknown || opened.state.tmMovesKnown) &&
           (!opened.family->hasImages || opened.state.imagesWritable) &&
           (tables.effectData == 0 || opened.state.itemEffectsKnown);
}

}  // namespace

Result<std::string> ReadHeaderCode(const std::filesystem::path& rom)
{
    auto file = RomFile::Open(rom);
    if (!file) {
        return file.error();
    }
    auto bytes = file->ReadAt(kHeaderCodeOffset, 4);
    if (!bytes) {
        return MakeError(ErrorCode::RomTooShort, "no header code at AC in a file of " +
                                                     std::to_string(file->Size()) + " bytes");
    }
    return std::string(bytes->begin(), bytes->end());
}

Result<OpenedRom> OpenRom(const std::filesystem::path& rom, const std::filesystem::path& profile)
{
    return OpenRom(rom, OpenOptions{ProfileFiles{profile, {}}, std::nullopt});
}

Result<OpenedRom> OpenRom(const std::filesystem::path& rom, const OpenOptions& options)
{
    auto file = RomFile::Open(rom);
    if (!file) {
        return file.error();
    }
    auto header = file->ReadAt(kHeaderCodeOffset, kVersionByteOffset + 1 - kHeaderCodeOffset);
    if (!header) {
        return MakeError(ErrorCode::RomTooShort, "no ROM header at AC in a file of " + std::to_string(file->Size()) +
                                                     " bytes");
    }
    OpenedRom first;
    RomState& state = first.state;
    state.romPath = rom;
    state.headerCode = std::string(header->begin(), header->begin() + 4);
    state.versionByte = header->back();
    if (!IsPrintableHeaderCode(state.headerCode)) {
        const std::string code = BytesToHex(std::span<const Byte>(*header).first(4));
        return WithFound(MakeError(ErrorCode::UnsupportedRom, "the header code at AC is " + code + ", not four printable characters"),
                         code);
    }
    state.gameCode = std::string(GameCodeOf(state.headerCode));
    first.family = FindGameFamily(state.gameCode);
    if (first.family == nullptr) {
        return WithFound(MakeError(ErrorCode::UnsupportedRom, "game code \"" + state.gameCode + "\""), state.gameCode);
    }
    state.textEditable = state.headerCode.back() != 'J';
    state.romSize = file->Size();

    std::optional<OpenedRom> chosen;
    if (options.foundTables) {
        first.origin.detected = true;
        auto opened = OpenWithTables(*file, first, *options.foundTables, "the tables found in the ROM");
        if (!opened) {
            return opened.error();
        }
        chosen = std::move(*opened);
    } else {
        std::vector<PassedOverFile> passedOver;
        const auto sections = FindProfileSections(options.profiles, RomTablesPathOf(rom), state.headerCode,
                                                  state.versionByte, passedOver);
        std::string passedOverText;
        for (const PassedOverFile& passed : passedOver) {
            if (WorthAWarning(passed)) passedOverText += "; " + Describe(passed);
        }
        if (sections.empty()) {
            return MakeError(ErrorCode::UnsupportedRom,
                             "no section [" + RevisionSectionName(state.headerCode, state.versionByte) + "] or [" +
                                 state.headerCode + "] in " + PathText(options.profiles.shipped) +
                                 (options.profiles.user.empty() ? "" : " or " + PathText(options.profiles.user)) +
                                 passedOverText);
        }
        std::optional<Error> firstRefusal;
        std::optional<std::size_t> partial;  // the first section whose item table passed
        std::vector<std::string> reasons(sections.size());
        std::vector<std::optional<OpenedRom>> attempts(sections.size());
        std::size_t pick = sections.size();
        for (std::size_t i = 0; i < sections.size() && pick == sections.size(); ++i) {
            const ProfileSection& section = sections[i];
            OpenedRom base = first;
            base.origin = TableOrigin{section.name, section.file, section.userProfile, false, section.romTables};
            if (const std::string start = ReadProfileValue(section.file, section.name, "FreeSpaceStart"); !start.empty()) {
                base.state.freeSpaceStart = ParseProfileNumber(start);
            }
            const ProfileTables tables = ReadProfileTables(section);
            auto opened = OpenWithTables(*file, base, tables, Describe(section));
            if (!opened) {
                if (!firstRefusal) firstRefusal = opened.error();
                reasons[i] = ReasonOf(opened.error());
                continue;
            }
            if (AllTablesPass(*opened, tables)) {
                pick = i;
            } else {
                if (!partial) partial = i;
                reasons[i] = opened->warnings.front();
            }
            attempts[i] = std::move(*opened);
        }
        if (pick == sections.size() && partial) pick = *partial;
        if (pick == sections.size()) {
            // Every section failed: the first one's refusal, and what was wrong with the others.
            Error refusal = *firstRefusal;
            for (std::size_t i = 1; i < sections.size(); ++i) {
                AddToError(refusal, "; " + Describe(sections[i]) + " does not fit this ROM either (" + reasons[i] + ")");
            }
            AddToError(refusal, passedOverText);
            return refusal;
        }
        chosen = std::move(*attempts[pick]);
        // Tell what was passed over: a kept section that no longer fits is worth mending.
        // Tables kept by an addition that grew them stop fitting once it is undone: the ROM is
        // as it was before, and its sections serve it as they did, with nothing to mend.
        std::ptrdiff_t said = 0;
        for (std::size_t i = 0; i < pick; ++i) {
            if (sections[i].romTables && !ReadProfileValue(sections[i].file, sections[i].name, kGrownFromKey).empty()) continue;
            chosen->warnings.insert(chosen->warnings.begin() + said++,
                                    Describe(sections[i]) + " does not fit this ROM (" + reasons[i] + "); " +
                                        Describe(sections[pick]) + " is used");
        }
        std::vector<std::string> passedWarnings;
        for (const PassedOverFile& passed : passedOver) {
            if (WorthAWarning(passed)) passedWarnings.push_back(Describe(passed) + "; " + Describe(sections[pick]) + " is used");
        }
        chosen->warnings.insert(chosen->warnings.begin(), passedWarnings.begin(), passedWarnings.end());
    }

    OpenedRom& opened = *chosen;
    opened.gameItemTable = ItemTableReadElsewhere(*file, opened.state);
    if (opened.gameItemTable >= 0) {
        opened.warnings.push_back("the game reads its item table at " + HexOffset(opened.gameItemTable) + ", not at " +
                                  HexOffset(opened.state.itemTableOffset) + ": edits there would not change the game");
    }
    return std::move(opened);
}

}  // namespace quillbox
