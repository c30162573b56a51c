// The window's operations for the page: open, show, save with its questions, the two Repoints,
// icons in and out, undo and redo. Each takes and gives plain values; every rule is the core's.
#include "web/PageSession.h"

#include "items/IconTransfer.h"
#include "items/SaveQuestions.h"
#include "items/UserTexts.h"
#include "rom/HexText.h"
#include "rom/History.h"

#include <emscripten/bind.h>

#include <algorithm>

namespace quillbox::web {

namespace {

val FinishOpening(Result<OpenedRom> opened)
{
    PageSession& session = Session();
    session.pendingOpening.reset();
    if (!opened) {
        session.rom.reset();
        return OpeningRefusal(opened.error());
    }
    opened->state.keepHistory = session.keepHistory;
    session.rom = std::move(*opened);
    session.shownItem = -1;
    const OpenedRom& rom = *session.rom;
    val result = val::object();
    result.set("items", Texts(rom.itemNames));
    result.set("moves", Texts(rom.moveNames));
    auto entries = [](std::span<const std::string_view> list) {
        return Strings(std::vector<std::string>(list.begin(), list.end()));
    };
    result.set("pocket", entries(rom.family->pocketNames));
    result.set("mystery1", entries(rom.family->mystery1Entries));
    result.set("mystery2", entries(rom.family->mystery2Entries));
    result.set("battleUsage", entries(rom.family->battleUsageEntries));
    result.set("hasImages", rom.family->hasImages);
    if (!rom.warnings.empty()) result.set("message", MessageBox(kProgramTitle, OpenedWithWarnings(rom.warnings)));
    return result;
}

// The ROM a name stands for, with the tables and history the page put beside it.
val OpenRom(const std::string& name)
{
    PageSession& session = Session();
    session.romPath = FileIn(kRomFolder, name);
    session.rom.reset();
    session.detectedTables.reset();
    OpeningProposal proposal = ProposeOpening(session.romPath, Profiles(), "this browser's storage for " + name);
    if (!proposal.found) return FinishOpening(std::move(proposal.opened));
    val result = val::object();
    result.set("question", proposal.question);
    session.pendingOpening = std::move(proposal);
    return result;
}

val AnswerFoundTables(bool useThem)
{
    PageSession& session = Session();
    if (!session.pendingOpening) return Unsupported();
    if (!useThem) return FinishOpening(std::move(session.pendingOpening->opened));
    return FinishOpening(OpenWithFoundTables(session.romPath, Profiles(), *session.pendingOpening->found));
}

val Icon(const std::string& imageOffsetText, const std::string& paletteOffsetText)
{
    PageSession& session = Session();
    if (!session.rom) return Unsupported();
    // The drawing shows the offsets the two boxes show; an empty box stands for 0.
    auto icon = ReadItemIcon(session.rom->state, static_cast<std::int64_t>(HexToNumber(imageOffsetText)),
                             static_cast<std::int64_t>(HexToNumber(paletteOffsetText)));
    if (!icon) return ErrorMessage(icon.error());
    std::vector<std::uint8_t> rgba;
    rgba.reserve(icon->argb.size() * 4);
    for (std::uint32_t argb : icon->argb) {
        rgba.push_back(static_cast<std::uint8_t>(argb >> 16));
        rgba.push_back(static_cast<std::uint8_t>(argb >> 8));
        rgba.push_back(static_cast<std::uint8_t>(argb));
        rgba.push_back(static_cast<std::uint8_t>(argb >> 24));
    }
    val pixels = val::global("Uint8Array").new_(rgba.size());
    pixels.call<void>("set", val(emscripten::typed_memory_view(rgba.size(), rgba.data())));
    val result = val::object();
    result.set("rgba", pixels);
    return result;
}

val ShowItem(int position)
{
    PageSession& session = Session();
    if (!session.rom) return Unsupported();
    RomState& state = session.rom->state;
    auto item = ReadItem(state, position);
    if (!item) {
        // The controls still hold the item shown before; the page selects it again.
        val result = ErrorMessage(item.error());
        result.set("position", session.shownItem);
        return result;
    }
    state.itemIndex = static_cast<std::int16_t>(position);
    session.shownItem = position;
    session.shownName = item->name;
    session.shownDescription = item->description;
    session.descriptionPlace = DescriptionPlace{item->descriptionOffset, item->descriptionRoomBytes};

    val result = val::object();
    result.set("position", position);
    result.set("name", ToUtf8(item->name));
    result.set("index", item->index);
    result.set("price", item->price);
    result.set("special1", item->special1);
    result.set("special2", item->special2);
    result.set("pocket", item->pocket);
    result.set("mystery1", item->mystery1);
    result.set("mystery2", item->mystery2);
    result.set("battleUsage", item->battleUsage);
    result.set("fieldUsageCodePointer", item->fieldUsageCodePointer);
    result.set("battleUsageCodePointer", item->battleUsageCodePointer);
    result.set("descriptionOffset", item->descriptionOffsetText);
    result.set("description", BoxText(item->description));
    result.set("room", item->descriptionRoom);
    result.set("count", CountDescriptionCharacters(item->description));
    result.set("tmMove", item->tmMove ? val(*item->tmMove) : val::null());
    result.set("tmMoveUnknown", item->tmMoveUnknown);
    if (item->imageOffsetText && item->paletteOffsetText) {
        result.set("imageOffset", *item->imageOffsetText);
        result.set("paletteOffset", *item->paletteOffsetText);
    }
    return result;
}

std::optional<std::uint8_t> ListValue(const val& edit, const char* key)
{
    const val value = edit[key];
    if (!value.isNumber()) return std::nullopt;
    const int position = value.as<int>();
    if (position < 0 || position > 255) return std::nullopt;
    return static_cast<std::uint8_t>(position);
}

std::uint16_t SixteenBitValue(const val& edit, const char* key)
{
    return static_cast<std::uint16_t>(std::min<std::uint64_t>(LeadingDecimalValue(edit[key].as<std::string>()), 65535));
}

// The controls' values as the window's save reads them: list positions (null for none), texts.
ItemEdit EditFrom(const val& values, int position)
{
    const PageSession& session = Session();
    ItemEdit edit;
    if (Text name = FromUtf8(values["name"].as<std::string>()); name != session.shownName) edit.name = std::move(name);
    edit.price = SixteenBitValue(values, "price");
    edit.index = SixteenBitValue(values, "index");
    edit.special1 = ListValue(values, "special1");
    edit.special2 = ListValue(values, "special2");
    if (position >= kFirstTmItem && position <= kLastTmItem && values["tmMove"].isNumber() &&
        values["tmMove"].as<int>() >= 0) {
        edit.tmMove = static_cast<std::uint16_t>(values["tmMove"].as<int>() + 1);
    }
    edit.pocket = ListValue(values, "pocket");
    edit.mystery1 = ListValue(values, "mystery1");
    edit.mystery2 = ListValue(values, "mystery2");
    edit.battleUsage = ListValue(values, "battleUsage");
    edit.fieldUsageCodePointer = values["fieldUsageCodePointer"].as<std::string>();
    edit.battleUsageCodePointer = values["battleUsageCodePointer"].as<std::string>();
    if (Text description = CoreText(values["description"].as<std::string>()); description != session.shownDescription) {
        edit.description = std::move(description);
    }
    return edit;
}

std::optional<SaveAnswer> AnswerFrom(const val& answer)
{
    if (!answer.isString()) return std::nullopt;
    const std::string text = answer.as<std::string>();
    return text == "yes" ? SaveAnswer::Yes : text == "no" ? SaveAnswer::No : SaveAnswer::Cancel;
}

val ItemNames()
{
    auto names = ListItemNames(Session().rom->state);
    if (!names) return ErrorMessage(names.error());
    val result = val::object();
    result.set("items", Texts(*names));
    return result;
}

// One step of a save: a question to ask and answer in `answers` ({unknownCharacters,
// descriptionMove}: "yes", "no" or "cancel"), or what the save came to.
val SaveItem(int position, const val& values, const val& answers)
{
    PageSession& session = Session();
    if (!session.rom || position < 0) return val::object();
    session.rom->state.itemIndex = static_cast<std::int16_t>(position);
    SaveAnswers given;
    given.unknownCharacters = AnswerFrom(answers["unknownCharacters"]);
    given.descriptionMove = AnswerFrom(answers["descriptionMove"]);
    auto step = SaveItemAsking(session.rom->state, position, EditFrom(values, position), session.descriptionPlace, given);
    if (!step) return ErrorMessage(step.error());
    if (step->question) {
        const SaveQuestion& question = *step->question;
        val ask = val::object();
        ask.set("topic", question.topic == SaveQuestion::Topic::UnknownCharacters ? "unknownCharacters" : "descriptionMove");
        ask.set("id", question.topic == SaveQuestion::Topic::UnknownCharacters ? "unknownCharactersQuestion"
                      : question.topic == SaveQuestion::Topic::DescriptionMove ? "descriptionMoveQuestion"
                                                                                : "sharedDescriptionQuestion");
        ask.set("text", question.text);
        ask.set("offersNo", question.offersNo);
        ask.set("offersCancel", question.offersCancel);
        val result = val::object();
        result.set("question", ask);
        return result;
    }
    if (step->declined) {
        val result = val::object();
        result.set("declined", true);
        return result;
    }
    val result = ItemNames();
    result.set("saved", MessageBox(kProgramTitle, kItemChanged));
    return result;
}

val RepointDescription(const std::string& offsetText)
{
    PageSession& session = Session();
    if (!session.rom) return Unsupported();
    RomState& state = session.rom->state;
    const std::string notice =
        DescribeDescriptionTarget(state, state.itemIndex, static_cast<std::int64_t>(HexToNumber(offsetText)));
    auto repointed = quillbox::RepointDescription(state, state.itemIndex, offsetText);
    if (!repointed) return ErrorMessage(repointed.error());
    session.descriptionPlace = DescriptionPlace{repointed->offset, repointed->roomBytes};
    session.shownDescription = repointed->description;
    val result = val::object();
    result.set("description", BoxText(repointed->description));
    result.set("room", repointed->room);
    result.set("count", CountDescriptionCharacters(repointed->description));
    result.set("notice", notice);
    if (!repointed->readable) result.set("message", MessageBox(kProgramTitle, DescriptionWithoutRoom(offsetText)));
    return result;
}

val RepointImage(const std::string& imageOffsetText, const std::string& paletteOffsetText)
{
    PageSession& session = Session();
    if (!session.rom) return Unsupported();
    const RomState& state = session.rom->state;
    if (!session.rom->family->hasImages) return Message(kProgramTitle, kImagesNotExpected);
    const std::string notice = DescribeImageTargets(state, state.itemIndex,
                                                    static_cast<std::int64_t>(HexToNumber(imageOffsetText)),
                                                    static_cast<std::int64_t>(HexToNumber(paletteOffsetText)));
    if (Status repointed = RepointItemImage(state, state.itemIndex, imageOffsetText, paletteOffsetText); !repointed) {
        return ErrorMessage(repointed.error());
    }
    val result = val::object();
    result.set("notice", notice);
    return result;
}

// Says why not when no item with an icon is shown; null when one is.
val WithoutIcon()
{
    const PageSession& session = Session();
    if (!session.rom || session.shownItem < 0) return Unsupported();
    if (!session.rom->family->hasImages) return ErrorMessage(MakeError(ErrorCode::NoImages));
    return val::null();
}

// The PNG the page put at kPngFile becomes the shown item's icon, in free space.
val ImportIcon()
{
    if (val refused = WithoutIcon(); !refused.isNull()) return refused;
    PageSession& session = Session();
    const int position = session.shownItem;
    auto plan = PlanIconImport(session.rom->state, position, kPngFile);
    if (!plan) return ErrorMessage(plan.error());
    if (Status written = ApplyToRom(session.rom->state, plan->patches, {"Import Icon", position}); !written) {
        return ErrorMessage(written.error());
    }
    val result = val::object();
    result.set("message", MessageBox(kProgramTitle, IconImported(plan->imageOffset, plan->paletteOffset)));
    if (auto offsets = ReadImageOffsets(session.rom->state, position)) {
        result.set("imageOffset", offsets->imageOffsetText);
        result.set("paletteOffset", offsets->paletteOffsetText);
    }
    return result;
}

// The shown item's icon as a PNG at kPngFile, for the page to hand out.
val ExportIcon()
{
    if (val refused = WithoutIcon(); !refused.isNull()) return refused;
    PageSession& session = Session();
    if (Status written = ExportItemIcon(session.rom->state, session.shownItem, kPngFile); !written) {
        return ErrorMessage(written.error());
    }
    return val::object();
}

val HistoryMenu()
{
    val result = val::object();
    result.set("undo", val::null());
    result.set("redo", val::null());
    const PageSession& session = Session();
    if (!session.rom) return result;
    auto log = ReadHistory(session.romPath);
    if (!log) return result;
    const HistoryStacks stacks = StacksOf(*log);
    if (!stacks.undo.empty()) result.set("undo", DescribeChange(stacks.undo.back()->label));
    if (!stacks.redo.empty()) result.set("redo", DescribeChange(stacks.redo.back()->label));
    return result;
}

// After an undo or redo the list is read again and the changed item shown as it stands.
val StepHistory(bool undo)
{
    PageSession& session = Session();
    if (!session.rom) return val::object();
    auto stepped = undo ? UndoChange(session.romPath) : RedoChange(session.romPath);
    if (!stepped) return ErrorMessage(stepped.error());
    val result = ItemNames();
    const int count = session.rom->state.ItemCount();
    const int position = stepped->label.position;
    result.set("position", position >= 0 && position < count ? position : std::max(session.shownItem, 0));
    return result;
}

val Undo() { return StepHistory(true); }
val Redo() { return StepHistory(false); }

void SetKeepHistory(bool keep)
{
    PageSession& session = Session();
    session.keepHistory = keep;
    if (session.rom) session.rom->state.keepHistory = keep;
}

std::string SharingTip(const std::string& control)
{
    const PageSession& session = Session();
    if (!session.rom) return {};
    return control == "descp" ? DescriptionSharingTip(session.rom->state, session.shownItem)
                              : IconSharingTip(session.rom->state, session.shownItem);
}

}  // namespace

EMSCRIPTEN_BINDINGS(quillbox_items)
{
    emscripten::function("openRom", &OpenRom);
    emscripten::function("answerFoundTables", &AnswerFoundTables);
    emscripten::function("showItem", &ShowItem);
    emscripten::function("icon", &Icon);
    emscripten::function("saveItem", &SaveItem);
    emscripten::function("repointDescription", &RepointDescription);
    emscripten::function("repointImage", &RepointImage);
    emscripten::function("iconRefusal", &WithoutIcon);
    emscripten::function("importIcon", &ImportIcon);
    emscripten::function("exportIcon", &ExportIcon);
    emscripten::function("historyMenu", &HistoryMenu);
    emscripten::function("undo", &Undo);
    emscripten::function("redo", &Redo);
    emscripten::function("setKeepHistory", &SetKeepHistory);
    emscripten::function("sharingTip", &SharingTip);
}

}  // namespace quillbox::web
