#include "items/addition/ImportAdditions.h"

#include "base/FileWrite.h"
#include "base/PathText.h"
#include "items/exchange/ImportRows.h"
#include "items/opening/RomOpening.h"
#include "rom/PointerScan.h"
#include "text/GameText.h"

#include <algorithm>
#include <optional>
#include <random>
#include <set>

namespace quillbox {

namespace {

// The position a row names, where it is a whole number; the import's own planning refuses the
// rest with its words.
std::optional<int> RowPosition(const ImportRow& row)
{
    if (!row.cells[0]) return std::nullopt;
    const std::string& text = row.cells[0]->text;
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return std::stoi(text);
}

std::set<int> RowPositions(const std::vector<ImportRow>& rows)
{
    std::set<int> positions;
    for (const ImportRow& row : rows) {
        if (const auto position = RowPosition(row)) positions.insert(*position);
    }
    return positions;
}

// A scratch copy of the ROM beside nothing the user owns, removed when done.
class ScratchRom {
public:
    explicit ScratchRom(const std::filesystem::path& rom)
    {
        std::error_code ec;
        folder_ = std::filesystem::temp_directory_path(ec) / ("quillbox-import-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_, ec);
        path_ = folder_ / rom.filename();
    }
    ~ScratchRom()
    {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    ScratchRom(const ScratchRom&) = delete;
    ScratchRom& operator=(const ScratchRom&) = delete;
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

}  // namespace

Result<ImportAddingPlan> PlanImportAdding(const OpenedRom& rom, const ProfileFiles& profiles, std::string_view file,
                                          ExportFormat format, bool replaceUnknownCharacters)
{
    auto rows = format == ExportFormat::Json ? ReadJsonRows(file) : ReadCsvRows(file);
    if (!rows) return rows.error();
    const int count = rom.state.ItemCount();
    const std::set<int> positions = RowPositions(*rows);
    if (positions.empty() || *positions.rbegin() < count) return ImportWithoutAdding(PlanImportRows(rom, *rows, replaceUnknownCharacters));
    ImportAddingPlan plan;
    const int last = *positions.rbegin();
    for (int position = count; position <= last; ++position) {
        if (positions.count(position) == 0) {
            return ImportRefusal("no row names position " + std::to_string(position) + ", between the last item (" +
                                 std::to_string(count - 1) + ") and position " + std::to_string(last) +
                                 ": new items take every position from " + std::to_string(count) + " on");
        }
    }
    NewItemRequest request;
    request.like = 0;
    request.count = last + 1 - count;
    request.append = true;
    request.replaceUnknownCharacters = true;  // the import itself refuses what it must
    // Each new item's description is placed with the room its row's text needs, so the import
    // finds it as the row says. Where another ROM kept it says nothing of this one: its offset
    // is left out.
    request.descriptionsEach.resize(static_cast<std::size_t>(request.count));
    const auto descriptionColumn = static_cast<std::size_t>(FindItemColumn("description") - ItemColumns().data());
    const auto offsetColumn = static_cast<std::size_t>(FindItemColumn("descriptionOffset") - ItemColumns().data());
    for (ImportRow& row : *rows) {
        const auto position = RowPosition(row);
        if (!position || *position < count) continue;
        row.cells[offsetColumn].reset();
        const auto& text = row.cells[descriptionColumn];
        if (text && text->form == ColumnInput::Form::String) {
            request.descriptionsEach[static_cast<std::size_t>(*position - count)] = FromUtf8(text->text);
        }
    }
    auto addition = PlanItemAddition(rom.state, request);
    if (!addition) return addition.error();

    // The rows are planned against a copy of the ROM as the addition leaves it.
    const ScratchRom scratch(rom.state.romPath);
    auto bytes = ReadWholeRom(rom.state.romPath);
    if (!bytes) return bytes.error();
    Bytes grown(bytes->View().begin(), bytes->View().end());
    for (const Patch& patch : addition->patches) {
        std::copy(patch.bytes.begin(), patch.bytes.end(), grown.begin() + static_cast<std::ptrdiff_t>(patch.offset));
    }
    if (auto failure = WriteFileWhole(scratch.Path(), grown)) {
        return MakeError(ErrorCode::FileWrite, "could not write a copy of the ROM to plan the import: " + *failure);
    }
    if (Status kept = WriteProfileSection(RomTablesPathOf(scratch.Path()),
                                          SectionNameToKeep(rom.state.headerCode, rom.state.versionByte),
                                          GrownTableLines(rom.state, *addition->grown));
        !kept) {
        return kept.error();
    }
    auto opened = OpenRom(scratch.Path(), OpenOptions{profiles, std::nullopt});
    if (!opened) return opened.error();
    auto import = PlanImportRows(*opened, *rows, replaceUnknownCharacters);
    if (!import) return import.error();
    plan.import = std::move(*import);
    plan.patches = addition->patches;
    plan.patches.insert(plan.patches.end(), plan.import.patches.begin(), plan.import.patches.end());
    plan.addition = std::move(*addition);
    return plan;
}

Result<ImportAddingPlan> ImportWithoutAdding(Result<ImportPlan> import)
{
    if (!import) return import.error();
    ImportAddingPlan plan;
    plan.import = std::move(*import);
    plan.patches = plan.import.patches;
    return plan;
}

Status ApplyImportAdding(const OpenedRom& rom, const ImportAddingPlan& plan)
{
    if (!plan.addition) return ApplyImport(rom, plan.import);
    const ChangeLabel label(std::string(kImportAddingItems), -1,
                            std::to_string(plan.addition->positions.size()) +
                                (plan.addition->positions.size() == 1 ? " item" : " items"));
    return ApplyGrowing(rom.state, plan.patches, label, plan.addition->grown);
}

}  // namespace quillbox
