// The window's operations for the page: open, show, save with its questions, the two Repoints,
// Use like, the item's effect, icons in and out, undo and redo. Each takes and gives plain values;
// every rule is the core's, and the form's controls are the ones the core's form model names.
#include "web/PageSession.h"

#include "items/record/IconTransfer.h"
#include "items/effect/ItemEffects.h"
#include "editor/ItemForm.h"
#include "items/record/ItemTable.h"
#include "items/record/RoutineGroups.h"
#include "editor/SaveQuestions.h"
#include "editor/UserTexts.h"
#include "base/HexText.h"
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
    session.routines.reset();
    const OpenedRom& rom = *session.rom;
    val result = val::object();
    result.set("items", Texts(rom.itemNames));
    // Each list with the entries of its field's own meaning; an item whose byte means something
    // else (byte 40) says so when shown, and the page asks for that meaning's entries then.
    val lists = val::object();
    for (const FormControl& control : FormControls()) {
        if (control.kind != FormControlKind::List) continue;
        const Meaning meaning = control.field != nullptr ? control.field->meaning : Meaning::None;
        val list = val::object();
        list.set("entries", Strings(FormListEntries(control.control, rom, meaning)));
        list.set("meaning", static_cast<int>(meaning));
        lists.set(std::string(control.control), list);
    }
    result.set("lists", lists);
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

// What the form shows of one control: its text or list entry, and what the value means.
val FormValueOf(const FormValue& value)
{
    val shown = val::object();
    shown.set("text", value.text);
    shown.set("listPosition", value.listPosition);
    shown.set("words", value.words);
    shown.set("label", value.label);
    shown.set("help", value.help);
    shown.set("meaning", static_cast<int>(value.meaning));
    return shown;
}

val FormOf(const std::map<std::string, FormValue, std::less<>>& form)
{
    val controls = val::object();
    for (const auto& [control, value] : form) controls.set(control, FormValueOf(value));
    return controls;
}

// The controls a save reads, by id, in the window's tab order, and which of them the panel of
// what the game does with the item shows words for: every list of the record and both routines.
val FormLayout()
{
    val layout = val::array();
    for (const FormControl& control : FormControls()) {
        val entry = val::object();
        entry.set("id", std::string(control.control));
        entry.set("kind", control.kind == FormControlKind::List ? "list" : "text");
        entry.set("label", control.field != nullptr ? std::string(control.field->label) : std::string());
        entry.set("panel", control.field != nullptr &&
                               (control.kind == FormControlKind::List || control.field->kind == FieldKind::Pointer));
        layout.call<void>("push", entry);
    }
    return layout;
}

// A list's entries for a meaning its byte may have for an item (byte 40 read as a mail design,
// a ball, ...).
val ListEntries(const std::string& control, int meaning)
{
    const PageSession& session = Session();
    if (!session.rom) return val::array();
    const bool known = meaning >= static_cast<int>(Meaning::None) && meaning <= static_cast<int>(Meaning::BikeKind);
    return Strings(FormListEntries(control, *session.rom, known ? static_cast<Meaning>(meaning) : Meaning::None));
}

val ShowItem(int position)
{
    PageSession& session = Session();
    if (!session.rom) return Unsupported();
    RomState& state = session.rom->state;
    auto item = ReadItem(state, position);
    auto routines = item ? RoutineGroupsOf(state) : Result<std::shared_ptr<const RoutineGroups>>(item.error());
    if (!routines) {
        // The controls still hold the item shown before; the page selects it again.
        val result = ErrorMessage(routines.error());
        result.set("position", session.shownItem);
        return result;
    }
    state.itemIndex = static_cast<std::int16_t>(position);
    session.shownItem = position;
    session.shownName = item->name;
    session.shownDescription = item->description;
    session.descriptionPlace = DescriptionPlace{item->descriptionOffset, item->descriptionRoomBytes};
    session.routines = *routines;

    auto form = ShowItemForm(*session.rom, *item, **routines);
    form.at("descp").text = BoxText(item->description);
    val result = val::object();
    result.set("position", position);
    result.set("form", FormOf(form));
    result.set("descriptionOffset", item->descriptionOffsetText);
    result.set("room", item->descriptionRoom);
    result.set("count", CountDescriptionCharacters(item->description));
    result.set("hasTmMove", item->tmMove.has_value());
    result.set("tmMoveUnknown", item->tmMoveUnknown);
    if (item->imageOffsetText && item->paletteOffsetText) {
        result.set("imageOffset", *item->imageOffsetText);
        result.set("paletteOffset", *item->paletteOffsetText);
    }
    return result;
}

// What the user left in the controls ({texts, lists}: texts by id, list positions by id, -1 for
// none), as the form model takes it; the description's line breaks as the core keeps them.
FormInput InputFrom(const val& values)
{
    const PageSession& session = Session();
    FormInput input;
    input.shownName = session.shownName;
    input.shownDescription = session.shownDescription;
    const val texts = values["texts"];
    const val lists = values["lists"];
    for (const FormControl& control : FormControls()) {
        const std::string id(control.control);
        if (control.kind == FormControlKind::List) {
            const val position = lists[id];
            if (position.isNumber()) input.lists[id] = position.as<int>();
        } else if (const val text = texts[id]; text.isString()) {
            input.texts[id] = id == "descp" ? ToUtf8(CoreText(text.as<std::string>())) : text.as<std::string>();
        }
    }
    return input;
}

// What the controls' values mean as the user has them now, before a save: the shown item with
// the lists' entries and the numbers and pointers typed put in, shown again by the form model.
val FormWords(const val& values)
{
    const PageSession& session = Session();
    if (!session.rom || session.shownItem < 0 || !session.routines) return val::object();
    auto item = ReadItem(session.rom->state, session.shownItem);
    if (!item) return ErrorMessage(item.error());
    const FormInput input = InputFrom(values);
    const GameFamily& family = *session.rom->family;
    for (const FormControl& control : FormControls()) {
        if (control.field == nullptr || control.field->kind == FieldKind::GameText) continue;
        const RecordField& field = *control.field;
        if (const auto list = input.lists.find(control.control); list != input.lists.end()) {
            if (list->second >= 0 && static_cast<std::uint32_t>(list->second) <= field.Maximum()) {
                field.store(*item, static_cast<std::uint32_t>(list->second));
            }
        } else if (const auto text = input.texts.find(control.control); text != input.texts.end()) {
            // Text a save would refuse leaves the stored value's words in place.
            if (auto value = ParseFieldValue(field, family, text->second, field.meaning)) field.store(*item, *value);
        }
    }
    val result = val::object();
    result.set("form", FormOf(ShowItemForm(*session.rom, *item, *session.routines)));
    return result;
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
    auto step = SaveItemAsking(session.rom->state, position, EditFromForm(InputFrom(values), position),
                               session.descriptionPlace, given);
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

// "Use like…": the item at `position` takes the routines of the item at `model`, with the type
// and secondary id they read, as one change the history can undo.
val UseLikeItem(int position, int model)
{
    PageSession& session = Session();
    if (!session.rom) return Unsupported();
    const RomState& state = session.rom->state;
    auto modelItem = ReadItem(state, model);
    if (!modelItem) return ErrorMessage(modelItem.error());
    auto patches = PlanSave(state, position, UseLike(*modelItem), {});
    if (!patches) return ErrorMessage(patches.error());
    if (Status written = ApplyToRom(state, *patches, {"Use Like", position}); !written) return ErrorMessage(written.error());
    return ItemNames();
}

// The fields of an effect the page makes a control for, by key.
val EffectFieldList()
{
    val fields = val::array();
    for (const EffectField& field : EffectFields()) {
        val entry = val::object();
        entry.set("key", std::string(field.key));
        entry.set("label", std::string(field.label));
        entry.set("kind", field.kind == EffectFieldKind::Flag     ? "flag"
                          : field.kind == EffectFieldKind::Stages ? "stages"
                                                                  : "amount");
        entry.set("minimum", field.minimum);
        entry.set("maximum", field.maximum);
        fields.call<void>("push", entry);
    }
    return fields;
}

// The item's effect when used: whether it can be shown and changed, its words (or why not), the
// items whose entries name the same record, and each field's value as text ("20", "off", "1").
val ItemEffectOf(int position)
{
    const PageSession& session = Session();
    val result = val::object();
    result.set("available", false);
    if (!session.rom) return result;
    const RomState& state = session.rom->state;
    auto view = ReadItemEffect(state, position);
    if (!view) {
        result.set("words", view.error().message);
        return result;
    }
    result.set("words", view->Available() ? view->words : view->unavailable);
    if (!view->Available()) return result;
    result.set("available", true);
    val shared = val::array();
    for (int other : view->sharedWith) shared.call<void>("push", other);
    result.set("sharedWith", shared);
    val values = val::object();
    for (const EffectField& field : EffectFields()) values.set(std::string(field.key), EffectFieldText(view->effect, field));
    result.set("values", values);
    return result;
}

// Writes the item's effect with the fields given ({key: text}) set on what it holds now.
val SaveEffect(int position, const val& values)
{
    PageSession& session = Session();
    if (!session.rom) return Unsupported();
    const RomState& state = session.rom->state;
    auto view = ReadItemEffect(state, position);
    if (!view) return ErrorMessage(view.error());
    ItemEffect effect = view->effect;
    for (const EffectField& field : EffectFields()) {
        const val text = values[std::string(field.key)];
        if (!text.isString()) continue;
        if (Status set = SetEffectField(effect, field.key, text.as<std::string>()); !set) return ErrorMessage(set.error());
    }
    if (Status saved = SaveItemEffect(state, position, effect); !saved) return ErrorMessage(saved.error());
    val result = val::object();
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
    emscripten::function("formLayout", &FormLayout);
    emscripten::function("listEntries", &ListEntries);
    emscripten::function("showItem", &ShowItem);
    emscripten::function("formWords", &FormWords);
    emscripten::function("icon", &Icon);
    emscripten::function("saveItem", &SaveItem);
    emscripten::function("useLike", &UseLikeItem);
    emscripten::function("effectFields", &EffectFieldList);
    emscripten::function("itemEffect", &ItemEffectOf);
    emscripten::function("saveEffect", &SaveEffect);
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
