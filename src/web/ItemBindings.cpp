// The window's operations for the page: open, show, save with its questions, the two Repoints,
// Use like, the item's effect, icons in and out, undo and redo. Each hands plain values to the
// editing session and gives back what it answers; the form's controls are the ones the core's
// form model names.
#include "web/PageSession.h"

#include "editor/ItemForm.h"
#include "editor/UserTexts.h"

#include <emscripten/bind.h>

namespace quillbox::web {

namespace {

// An opened ROM with each list's entries for its field's own meaning, and the number each entry
// shows where the list is too narrow for it; an item whose byte means something else (byte 40)
// says so when shown, and the page asks for that meaning's entries then.
val EntriesOf(const std::string& control, Meaning meaning)
{
    const std::vector<std::string> entries = Session().ListEntries(control, meaning);
    std::vector<std::string> numbers;
    numbers.reserve(entries.size());
    for (const std::string& entry : entries) numbers.push_back(ListEntryNumber(entry));
    val list = val::object();
    list.set("entries", Strings(entries));
    list.set("numbers", Strings(numbers));
    list.set("meaning", static_cast<int>(meaning));
    return list;
}

val Opening(const SessionStep& step)
{
    val result = StepValue(step);
    if (!step.opened) return result;
    val lists = val::object();
    for (const FormControl& control : FormControls()) {
        if (control.kind != FormControlKind::List) continue;
        const std::string id(control.control);
        lists.set(id, EntriesOf(id, control.field != nullptr ? control.field->meaning : Meaning::None));
    }
    result.set("lists", lists);
    result.set("hasImages", Session().HasImages());
    return result;
}

// The ROM a name stands for, with the tables and history the page put beside it.
val OpenRom(const std::string& name)
{
    return Opening(Session().Open(FileIn(kRomFolder, name), Profiles(), "this browser's storage for " + name));
}

val AnswerFoundTables(bool useThem) { return Opening(Session().AnswerOpening(useThem)); }

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
    const bool known = meaning >= static_cast<int>(Meaning::None) && meaning <= static_cast<int>(Meaning::BikeKind);
    return EntriesOf(control, known ? static_cast<Meaning>(meaning) : Meaning::None);
}

// The item at `position` shown; where it cannot be read, the position of the item the controls
// still hold, which the page selects again.
val ShowItem(int position)
{
    val result = StepValue(Session().Show(position));
    result.set("position", Session().ShownPosition());
    return result;
}

// What the user left in the controls ({texts, lists}: texts by id, list positions by id, -1 for
// none), as the form model takes it; the description's line breaks as the core keeps them.
FormInput InputFrom(const val& values)
{
    FormInput input;
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

// What the controls' values mean as the user has them now, before a save.
val FormWords(const val& values)
{
    const FormValues words = Session().FormWords(InputFrom(values));
    if (words.empty()) return val::object();
    val form = val::object();
    for (const auto& [control, value] : words) {
        val shown = val::object();
        shown.set("words", value.words);
        shown.set("label", value.label);
        shown.set("help", value.help);
        shown.set("meaning", static_cast<int>(value.meaning));
        form.set(control, shown);
    }
    val result = val::object();
    result.set("form", form);
    return result;
}

// A save of the shown item: the first question it asks, or what it came to. Each question is
// answered with AnswerSave ("yes", "no" or "cancel") until none is left.
val SaveItem(const val& values) { return StepValue(Session().Save(InputFrom(values))); }

val AnswerSave(const std::string& answer)
{
    return StepValue(Session().AnswerSave(answer == "yes" ? SaveAnswer::Yes : answer == "no" ? SaveAnswer::No : SaveAnswer::Cancel));
}

// "Use like…": the shown item takes the routines of the item at `model`, with the type and
// secondary id they read, as one change the history can undo.
val UseLikeItem(int model) { return StepValue(Session().UseLike(model)); }

// What "Use like…" asks, and the items to choose the model from ("12 POTION").
val UseLikeQuestion()
{
    val question = val::object();
    question.set("text", Session().UseLikeQuestion());
    question.set("choices", Strings(Session().UseLikeChoices()));
    return question;
}

// "Add Item…": a new item like the one at `model`, named `name` (empty keeps the model's), in
// the first unused id that suits it; the step shows it and lists it.
val AddItem(int model, const std::string& name) { return StepValue(Session().AddItem(model, name)); }

val AddItemQuestion()
{
    val question = val::object();
    question.set("text", Session().AddItemQuestion());
    question.set("nameLabel", std::string(kAddItemNameLabel));
    question.set("title", std::string(kAddItemTitle));
    question.set("choices", Strings(Session().UseLikeChoices()));
    return question;
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

// Writes the shown item's effect with the fields given ({key: text}) set on what it holds.
val SaveEffect(const val& values)
{
    std::map<std::string, std::string, std::less<>> texts;
    for (const EffectField& field : EffectFields()) {
        const val text = values[std::string(field.key)];
        if (text.isString()) texts[std::string(field.key)] = text.as<std::string>();
    }
    return StepValue(Session().SaveEffectFields(texts));
}

val RepointDescription(const std::string& offsetText) { return StepValue(Session().RepointDescription(offsetText)); }

val RepointImage(const std::string& imageOffsetText, const std::string& paletteOffsetText)
{
    return StepValue(Session().RepointImage(imageOffsetText, paletteOffsetText));
}

// Says why not when no item with an icon is shown; null when one is.
val IconRefusal()
{
    const auto refused = Session().IconRefusal();
    return refused ? Message(*refused) : val::null();
}

// The PNG the page put at kPngFile becomes the shown item's icon, in free space.
val ImportIcon() { return StepValue(Session().ImportIcon(kPngFile)); }

// The shown item's icon as a PNG at kPngFile, for the page to hand out.
val ExportIcon() { return StepValue(Session().ExportIcon(kPngFile)); }

val HistoryMenu()
{
    const HistoryNames names = Session().History();
    val result = val::object();
    result.set("undo", names.undo ? val(*names.undo) : val::null());
    result.set("redo", names.redo ? val(*names.redo) : val::null());
    return result;
}

val Undo() { return StepValue(Session().Undo()); }
val Redo() { return StepValue(Session().Redo()); }

void SetKeepHistory(bool keep) { Session().SetKeepHistory(keep); }

std::string SharingTip(const std::string& control)
{
    return control == "descp" ? Session().DescriptionSharingTip() : Session().IconSharingTip();
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
    emscripten::function("saveItem", &SaveItem);
    emscripten::function("answerSave", &AnswerSave);
    emscripten::function("useLike", &UseLikeItem);
    emscripten::function("useLikeQuestion", &UseLikeQuestion);
    emscripten::function("addItem", &AddItem);
    emscripten::function("addItemQuestion", &AddItemQuestion);
    emscripten::function("effectFields", &EffectFieldList);
    emscripten::function("saveEffect", &SaveEffect);
    emscripten::function("repointDescription", &RepointDescription);
    emscripten::function("repointImage", &RepointImage);
    emscripten::function("iconRefusal", &IconRefusal);
    emscripten::function("importIcon", &ImportIcon);
    emscripten::function("exportIcon", &ExportIcon);
    emscripten::function("historyMenu", &HistoryMenu);
    emscripten::function("undo", &Undo);
    emscripten::function("redo", &Redo);
    emscripten::function("setKeepHistory", &SetKeepHistory);
    emscripten::function("sharingTip", &SharingTip);
}

}  // namespace quillbox::web
