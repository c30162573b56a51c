// What the page needs beside the item operations: the files of a ROM in the in-memory file
// system, the field rules, the texts, export, import, diff and the tables the ROM names.
#include "web/PageSession.h"

#include "editor/FieldRules.h"
#include "items/record/ItemTable.h"
#include "items/exchange/RomDiff.h"
#include "items/opening/TableDetection.h"
#include "editor/UserTexts.h"
#include "rom/History.h"
#include "base/PathText.h"
#include "rom/Profile.h"

#include <emscripten/bind.h>

#include <fstream>
#include <sstream>

namespace quillbox::web {

PageSession& Session()
{
    static PageSession session;
    return session;
}

std::filesystem::path FileIn(const std::filesystem::path& folder, const std::string& name)
{
    std::string plain = name;
    for (char& c : plain) {
        if (c == '/' || c == '\\') c = '_';
    }
    if (plain.empty() || plain == "." || plain == "..") plain = "_" + plain;
    return folder / std::filesystem::path(std::u8string(plain.begin(), plain.end()));
}

val MessageBox(std::string_view title, std::string_view text)
{
    val message = val::object();
    message.set("title", std::string(title));
    message.set("text", std::string(text));
    return message;
}

val Message(std::string_view title, std::string_view text)
{
    val result = val::object();
    result.set("message", MessageBox(title, text));
    return result;
}

val ErrorMessage(const Error& error) { return Message(ErrorTitle(error), error.message); }

ProfileFiles Profiles() { return ProfileFiles{kShippedProfile, kUserProfile}; }

val Unsupported() { return Message(kProgramTitle, kUnsupportedRom); }

val OpeningRefusal(const Error& error)
{
    return error.code == ErrorCode::UnsupportedRom ? Unsupported() : ErrorMessage(error);
}

val Strings(const std::vector<std::string>& texts)
{
    val list = val::array();
    for (const std::string& text : texts) list.call<void>("push", text);
    return list;
}

val Texts(const std::vector<Text>& texts)
{
    val list = val::array();
    for (const Text& text : texts) list.call<void>("push", ToUtf8(text));
    return list;
}

std::string BoxText(TextView description) { return ToUtf8(ReplaceAll(description, kWindowsLineBreak, U"\n")); }

Text CoreText(const std::string& box) { return ReplaceAll(RemoveAll(FromUtf8(box), U"\r"), U"\n", kWindowsLineBreak); }

namespace {

// The files the page keeps for the ROM of a name: the ROM, its history and its kept tables.
val FilesOf(const std::string& name)
{
    const std::filesystem::path rom = FileIn(kRomFolder, name);
    val files = val::object();
    files.set("folder", PathText(kRomFolder));
    files.set("rom", PathText(rom));
    files.set("history", PathText(HistoryPathOf(rom)));
    files.set("tables", PathText(RomTablesPathOf(rom)));
    files.set("compare", PathText(FileIn(kCompareFolder, name)));
    files.set("png", PathText(kPngFile));
    files.set("userProfile", PathText(kUserProfile));
    return files;
}

val FieldRule(const std::string& name)
{
    const TextFieldRule* rule = FindTextFieldRule(name);
    if (rule == nullptr) return val::null();
    val result = val::object();
    result.set("limit", rule->limit);
    return result;
}

// What an edit of a text box leaves in it, as the window's boxes keep their rules.
val KeepField(const std::string& name, int lengthBefore, const std::string& input, int cursor)
{
    const Text text = FromUtf8(input);
    const TextFieldRule* rule = FindTextFieldRule(name);
    FieldText kept = rule != nullptr ? KeepFieldRule(*rule, lengthBefore, text, cursor) : FieldText{text, cursor};
    if (rule != nullptr && rule->sixteenBit) {
        if (auto capped = CapSixteenBitText(kept.text)) kept = FieldText{*capped, static_cast<int>(capped->size())};
    }
    val result = val::object();
    result.set("text", ToUtf8(kept.text));
    result.set("cursor", kept.cursor);
    return result;
}

int CountDescription(const std::string& box) { return CountDescriptionCharacters(CoreText(box)); }

bool DescriptionTakesKey(int key, int room, int characters)
{
    return DescriptionAcceptsKey(static_cast<char32_t>(key), room, characters);
}

val SpecialValues() { return Strings(SpecialValueEntries()); }

val UserTextsForPage()
{
    val texts = val::object();
    for (auto [key, text] : {std::pair{"title", kProgramTitle}, std::pair{"itemChanged", kItemChanged},
                             std::pair{"unsupportedRom", kUnsupportedRom}, std::pair{"tmMoveUnavailable", kTmMoveUnavailable},
                             std::pair{"tmMovesUnknownTip", kTmMovesUnknownTip}, std::pair{"authorship", kAuthorshipLine},
                             std::pair{"aboutTitle", kAboutTitle}, std::pair{"aboutVersion", kAboutVersion},
                             std::pair{"aboutCredits", kAboutCredits}, std::pair{"aboutDisclaimer", kAboutDisclaimer}}) {
        texts.set(key, std::string(text));
    }
    texts.set("startupPockets", Strings(std::vector<std::string>(kStartupPocketEntries.begin(), kStartupPocketEntries.end())));
    return texts;
}

std::string Readme()
{
    std::ifstream file(kReadme, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return std::move(text).str();
}

val ExportAll(const std::string& format)
{
    const PageSession& session = Session();
    if (!session.rom) return Unsupported();
    auto items = ReadItemTable(session.rom->state);
    if (!items) return ErrorMessage(items.error());
    val result = val::object();
    result.set("text", ExportItems(*session.rom, *items, format == "csv" ? ExportFormat::Csv : ExportFormat::Json));
    return result;
}

// The import's plan, kept for ApplyImport, with the lines it would write.
val PlanImportFile(const std::string& text, const std::string& fileName, bool replaceUnknown)
{
    PageSession& session = Session();
    session.importPlan.reset();
    if (!session.rom) return Unsupported();
    auto plan = PlanImport(*session.rom, text, ImportFormatOfFileName(fileName), replaceUnknown);
    if (!plan) {
        val result = ErrorMessage(plan.error());
        result.set("unknownCharacters", plan.error().code == ErrorCode::UnknownCharacters);
        return result;
    }
    val result = val::object();
    result.set("lines", FormatChanges(plan->changes));
    result.set("changes", static_cast<int>(plan->changes.size()));
    result.set("summary", plan->changes.empty() ? std::string("Nothing to change") : CountChanges(*plan));
    session.importPlan = std::move(*plan);
    return result;
}

val ApplyImportPlan()
{
    PageSession& session = Session();
    if (!session.rom || !session.importPlan) return val::object();
    const ImportPlan plan = std::move(*session.importPlan);
    session.importPlan.reset();
    if (Status written = ApplyImport(*session.rom, plan); !written) return ErrorMessage(written.error());
    auto names = ListItemNames(session.rom->state);
    if (!names) return ErrorMessage(names.error());
    val result = val::object();
    result.set("items", Texts(*names));
    return result;
}

// Every item field that differs between the open ROM and the one the page put in /compare.
val DiffWith(const std::string& name)
{
    const PageSession& session = Session();
    if (!session.rom) return Unsupported();
    auto other = quillbox::OpenRom(FileIn(kCompareFolder, name), OpenOptions{Profiles(), std::nullopt});
    if (!other) return OpeningRefusal(other.error());
    auto changes = DiffItems(*session.rom, *other);
    if (!changes) return ErrorMessage(changes.error());
    val result = val::object();
    result.set("lines", FormatChanges(*changes));
    result.set("changes", static_cast<int>(changes->size()));
    return result;
}

// The tables the open ROM's bytes name, as a profile section with its evidence.
val DetectTablesOfRom()
{
    PageSession& session = Session();
    session.detectedTables.reset();
    if (session.romPath.empty()) return Unsupported();
    auto detected = DetectTables(session.romPath);
    if (!detected) return ErrorMessage(detected.error());
    val result = val::object();
    result.set("section", FormatDetectedSection(*detected));
    if (Status usable = CheckDetectedTables(*detected); !usable) {
        result.set("refusal", ErrorMessage(usable.error()));
    } else {
        session.detectedTables = std::move(*detected);
    }
    return result;
}

// Keeps the tables the open ROM names for it alone, as a Yes to the question at opening does.
val KeepDetectedTables()
{
    PageSession& session = Session();
    if (!session.detectedTables) return Unsupported();
    const DetectedTables detected = std::move(*session.detectedTables);
    session.detectedTables.reset();
    if (Status kept = KeepFoundTables(session.romPath, detected); !kept) return ErrorMessage(kept.error());
    return val::object();
}

}  // namespace

EMSCRIPTEN_BINDINGS(quillbox_page)
{
    emscripten::function("filesOf", &FilesOf);
    emscripten::function("fieldRule", &FieldRule);
    emscripten::function("keepField", &KeepField);
    emscripten::function("countDescription", &CountDescription);
    emscripten::function("descriptionTakesKey", &DescriptionTakesKey);
    emscripten::function("specialValues", &SpecialValues);
    emscripten::function("texts", &UserTextsForPage);
    emscripten::function("readme", &Readme);
    emscripten::function("exportItems", &ExportAll);
    emscripten::function("planImport", &PlanImportFile);
    emscripten::function("applyImport", &ApplyImportPlan);
    emscripten::function("diffWith", &DiffWith);
    emscripten::function("detectTables", &DetectTablesOfRom);
    emscripten::function("keepDetectedTables", &KeepDetectedTables);
}

}  // namespace quillbox::web
