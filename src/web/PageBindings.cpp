#include "web/PageSession.h"

#include "base/JsonText.h"
#include "base/PathText.h"
#include "editor/FieldRules.h"
#include "editor/UserTexts.h"
#include "rom/History.h"
#include "rom/Profile.h"

#include <emscripten/bind.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace quillbox::web {

EditorSession& Session()
{
    static PageSession page;
    return page.editor;
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

val MessageBox(const SessionMessage& message)
{
    val box = val::object();
    box.set("title", message.title);
    box.set("text", message.text);
    return box;
}

val Message(const SessionMessage& message)
{
    val result = val::object();
    result.set("message", MessageBox(message));
    return result;
}

ProfileFiles Profiles() { return ProfileFiles{kShippedProfile, kUserProfile}; }

namespace {

val FromJson(const nlohmann::json& json)
{
    // Texts read from a ROM are made valid UTF-8 by the core; the replacement only guards the
    // page against a fault there.
    return val::global("JSON").call<val>("parse", json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

}  // namespace

// A list crosses into the page as one JSON text: pushed entry by entry, the item names and each
// list's 256 entries at opening took a call between the core and the page each.
val Strings(const std::vector<std::string>& texts) { return FromJson(texts); }

val Texts(const std::vector<Text>& texts)
{
    nlohmann::json list = nlohmann::json::array();
    for (const Text& text : texts) list.push_back(ToUtf8(text));
    return FromJson(list);
}

std::string BoxText(TextView description) { return ToUtf8(ReplaceAll(description, kWindowsLineBreak, U"\n")); }

Text CoreText(const std::string& box) { return ReplaceAll(RemoveAll(FromUtf8(box), U"\r"), U"\n", kWindowsLineBreak); }

namespace {

// The icon as the canvas takes it: red, green, blue and alpha bytes.
val Rgba(const IconPixels& icon)
{
    std::vector<std::uint8_t> rgba;
    rgba.reserve(icon.argb.size() * 4);
    for (std::uint32_t argb : icon.argb) {
        rgba.push_back(static_cast<std::uint8_t>(argb >> 16));
        rgba.push_back(static_cast<std::uint8_t>(argb >> 8));
        rgba.push_back(static_cast<std::uint8_t>(argb));
        rgba.push_back(static_cast<std::uint8_t>(argb >> 24));
    }
    val pixels = val::global("Uint8Array").new_(rgba.size());
    pixels.call<void>("set", val(emscripten::typed_memory_view(rgba.size(), rgba.data())));
    return pixels;
}

// What the form shows of one control: its text or list entry, and what the value means.
void WriteFormValue(JsonWriter& json, const FormValue& value, std::string_view text)
{
    json.BeginObject();
    json.Member("text", text);
    json.Member("listPosition", value.listPosition);
    json.Member("words", value.words);
    json.Member("label", value.label);
    json.Member("help", value.help);
    json.Member("meaning", static_cast<int>(value.meaning));
    json.EndObject();
}

// The item's effect when used: whether it can be changed, its words (or why not), the names of
// the items whose entries name the same record, and each field's value as text ("20", "off", "1").
void WriteEffect(JsonWriter& json, const ShownItem& shown)
{
    const ItemEffectView& view = shown.effect;
    json.BeginObject();
    json.FlagMember("available", view.Available());
    json.Member("words", view.Available() ? view.words : view.unavailable);
    if (view.Available()) {
        json.Key("sharedWith");
        json.BeginArray();
        for (const Text& name : shown.effectSharedWith) json.String(ToUtf8(name));
        json.EndArray();
        json.Key("values");
        json.BeginObject();
        for (const EffectField& field : EffectFields()) {
            json.Member(field.key, EffectFieldText(view.effect, field));
        }
        json.EndObject();
    }
    json.EndObject();
}

// The shown item crosses into the page as one JSON text that the page parses at once: made
// member by member, its hundred and more values took as many calls between the core and the
// page, most of the time a show took. The text is written directly rather than through a tree
// of values made only to be printed.
val ShownValue(const ShownItem& shown)
{
    std::string text;
    text.reserve(4096);
    JsonWriter json(text);
    json.BeginObject();
    json.Member("position", shown.position);
    json.Key("form");
    json.BeginObject();
    const std::string description = BoxText(shown.description);
    for (const auto& [control, value] : shown.form) {
        json.Key(control);
        WriteFormValue(json, value, control == "descp" ? std::string_view(description) : std::string_view(value.text));
    }
    json.EndObject();
    json.Member("descriptionOffset", shown.descriptionOffsetText);
    json.Member("room", shown.room);
    json.Member("count", shown.count);
    json.FlagMember("hasTmMove", shown.hasTmMove);
    json.FlagMember("tmMoveUnknown", shown.tmMoveUnknown);
    json.Key("effect");
    WriteEffect(json, shown);
    if (shown.imageOffsetText && shown.paletteOffsetText) {
        json.Member("imageOffset", *shown.imageOffsetText);
        json.Member("paletteOffset", *shown.paletteOffsetText);
    }
    json.EndObject();
    val value = val::global("JSON").call<val>("parse", text);
    if (shown.icon) value.set("icon", Rgba(*shown.icon));
    return value;
}

val QuestionOf(const SessionQuestion& question)
{
    val ask = val::object();
    ask.set("id", question.id);
    ask.set("text", question.text);
    ask.set("offersNo", question.offersNo);
    ask.set("offersCancel", question.offersCancel);
    return ask;
}

}  // namespace

val StepValue(const SessionStep& step)
{
    val result = val::object();
    if (step.question) result.set("question", QuestionOf(*step.question));
    if (step.message) result.set("message", MessageBox(*step.message));
    for (auto [key, on] : {std::pair{"opened", step.opened}, std::pair{"refused", step.refused},
                           std::pair{"written", step.written}, std::pair{"declined", step.declined},
                           std::pair{"unknownCharacters", step.unknownCharacters}}) {
        if (on) result.set(key, true);
    }
    if (step.opened || step.written) result.set("items", Texts(Session().ItemNames()));
    if (step.shown) result.set("shown", ShownValue(*step.shown));
    if (step.description) {
        val description = val::object();
        description.set("text", BoxText(step.description->description));
        description.set("room", step.description->room);
        description.set("count", step.description->count);
        result.set("description", description);
    }
    if (step.icon) result.set("icon", Rgba(*step.icon));
    if (step.imageOffsets) {
        result.set("imageOffset", step.imageOffsets->imageOffsetText);
        result.set("paletteOffset", step.imageOffsets->paletteOffsetText);
    }
    if (!step.notice.empty()) result.set("notice", step.notice);
    if (!step.text.empty()) result.set("text", step.text);
    result.set("changes", step.changes);
    if (!step.summary.empty()) result.set("summary", step.summary);
    return result;
}

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
    return StepValue(Session().ExportItems(format == "csv" ? ExportFormat::Csv : ExportFormat::Json));
}

// The import's plan, kept by the session for ApplyImport, with the lines it would write.
val PlanImportFile(const std::string& text, const std::string& fileName, bool replaceUnknown)
{
    return StepValue(Session().PlanImport(text, ImportFormatOfFileName(fileName), replaceUnknown));
}

val ApplyImportPlan() { return StepValue(Session().ApplyImport()); }

// Every item field that differs between the open ROM and the one the page put in /compare.
val DiffWith(const std::string& name)
{
    return StepValue(Session().DiffWith(FileIn(kCompareFolder, name), Profiles()));
}

// The tables the open ROM's bytes name, as a profile section, with the question whether to keep them.
val DetectTablesOfRom() { return StepValue(Session().FindTables()); }

val AnswerDetectedTables(bool keep) { return StepValue(Session().AnswerFindTables(keep)); }

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
    emscripten::function("answerDetectedTables", &AnswerDetectedTables);
}

}  // namespace quillbox::web
