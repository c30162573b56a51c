#pragma once

#include "editor/ItemForm.h"
#include "editor/SaveQuestions.h"
#include "image/ItemIcon.h"
#include "items/effect/ItemEffects.h"
#include "items/exchange/ItemExport.h"
#include "items/exchange/ItemImport.h"
#include "items/opening/RomOpening.h"
#include "items/opening/TableDetection.h"
#include "items/record/ItemOperations.h"
#include "items/record/RoutineGroups.h"

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// One editing session over one open ROM, as every front end has it: which ROM is open, which item
// is shown with what it held when shown, and what the user is asked before a change lands. A
// front end moves values between its controls and the session and shows what the session answers;
// it keeps nothing of the ROM itself. Every answer is plain values: texts in UTF-8, numbers, the
// form's values, icon pixels, a question with its buttons, a message with its title.

using FormValues = std::map<std::string, FormValue, std::less<>>;

// A modal message: the title is the program's, or "Error: " and the error's number.
struct SessionMessage {
    std::string title;
    std::string text;
    bool error = false;
};

// A question for the user. Every question offers Yes; `offersNo` and `offersCancel` name the other
// buttons. The answer goes back through the call that belongs to the topic (AnswerOpening for the
// found tables, AnswerSave for the rest).
struct SessionQuestion {
    enum class Topic { FoundTables, UnknownCharacters, DescriptionMove, SharedDescription };
    Topic topic = Topic::FoundTables;
    std::string id;  // the question box's name: "tableDetectionQuestion", "unknownCharactersQuestion", ...
    std::string title;
    std::string text;
    bool offersNo = true;
    bool offersCancel = false;
};

// What the controls show for one item.
struct ShownItem {
    int position = -1;
    FormValues form;  // every control of the form model; "descp" holds the description with "\r\n"
    Text description;  // line breaks as "\r\n"
    std::string descriptionOffsetText;
    int room = 0;   // characters, a line break counting two
    int count = 0;  // characters of the description as shown
    bool hasTmMove = false;
    bool tmMoveUnknown = false;
    std::optional<std::string> imageOffsetText;    // games with item images only
    std::optional<std::string> paletteOffsetText;  // games with item images only
    std::optional<IconPixels> icon;                // drawn from those offsets
    ItemEffectView effect;                          // `unavailable` says why there is none
    std::vector<Text> effectSharedWith;            // the names of the items effect.sharedWith lists
};

// The description a Repoint put in the controls' place: what lies at the new place and its room.
struct ShownDescription {
    Text description;  // line breaks as "\r\n"
    int room = 0;
    int count = 0;
};

// What one call of the session came to. Everything is optional: a front end shows what is there.
struct SessionStep {
    std::optional<SessionQuestion> question;  // ask it, then answer through the topic's call
    std::optional<SessionMessage> message;    // show it (after the question, when both are set)
    bool opened = false;    // a ROM is open now: fill the lists, enable the controls
    bool refused = false;   // no ROM is open now (opening refused): clear and disable
    bool written = false;   // the ROM changed: the item list (ItemNames) and the history names may differ
    bool declined = false;  // an answer said not to: nothing was written
    std::optional<ShownItem> shown;               // the item shown (again)
    std::optional<ShownDescription> description;  // after a description Repoint
    std::optional<IconPixels> icon;               // the icon drawn again
    std::optional<ImageOffsets> imageOffsets;     // after an icon import
    // What a Repoint said about the place it pointed at, for a notice near its button.
    std::string notice;
    // Export's text; the import's or a diff's listing of changes.
    std::string text;
    int changes = 0;
    std::string summary;             // "Nothing to change" or how many items and values
    bool unknownCharacters = false;  // an import refused for characters the game cannot show
};

// The next undo and redo as the Edit menu names them ("Save of POTION"); none when there is none.
struct HistoryNames {
    std::optional<std::string> undo;
    std::optional<std::string> redo;
};

class EditorSession {
public:
    EditorSession();
    ~EditorSession();
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    // --- Opening ---
    // Opens `rom` with the profiles. Where the ROM names tables of its own that the profiles lack,
    // the step holds the found-tables question and nothing is open until AnswerOpening; otherwise
    // the ROM is open or refused. `whereKept` says where a Yes keeps the found tables (empty: the
    // file beside the ROM). An empty path is refused as no ROM opened.
    SessionStep Open(const std::filesystem::path& rom, const ProfileFiles& profiles, std::string_view whereKept = {});
    // Yes uses the found tables and keeps them for that ROM; No opens with what the profiles gave.
    SessionStep AnswerOpening(bool useFoundTables);
    bool HasPendingOpening() const;
    // Closes the ROM, as a refused opening does.
    void Close();

    bool IsOpen() const;
    // The open ROM, null when none is.
    const OpenedRom* Rom() const;
    // The open ROM's state (the path tried last and an empty state when none is open).
    const RomState& State() const;
    // The item list as it now stands in the file.
    const std::vector<Text>& ItemNames() const;
    // A list control's entries for the open ROM and a meaning its byte may have (ItemForm).
    std::vector<std::string> ListEntries(std::string_view control, Meaning meaning) const;
    bool HasImages() const;

    // --- Showing ---
    // Reads the item and makes it the shown one. When it cannot be read, the item shown before
    // stays shown and the step says why (its `shown` is unset).
    SessionStep Show(int position);
    // The list position of the item shown, -1 when none is.
    int ShownPosition() const;
    const Text& ShownName() const;
    const Text& ShownDescription() const;
    const DescriptionPlace& ShownDescriptionPlace() const;
    const RoutineGroups* Routines() const;
    // The shown item's effect as read: the members no control shows keep their values from it.
    const ItemEffect& ShownEffect() const;

    // What the controls' values mean as the user has them now, before a save: the shown item with
    // every value typed or picked put in, said by the form model. A value a save would refuse
    // keeps the stored value's words. Empty when no item is shown.
    FormValues FormWords(const FormInput& input) const;
    // The icon at the offsets the two boxes show; an empty box stands for 0.
    SessionStep Icon(std::string_view imageOffsetText, std::string_view paletteOffsetText) const;
    // The tooltip of the description box and of the icon: who else uses them.
    std::string DescriptionSharingTip() const;
    std::string IconSharingTip() const;

    // --- Changing ---
    // Saves what the controls hold into the shown item (the shown name and description are the
    // session's), asking first as SaveItemAsking asks. Answer each question with AnswerSave until
    // the step has none. Saved: "Item Changed", the list read again and the item shown again.
    SessionStep Save(FormInput input);
    SessionStep AnswerSave(SaveAnswer answer);
    bool HasPendingSave() const;

    // "Use like…": the question and the entries ("12 POTION") to choose the model from.
    std::string UseLikeQuestion() const;
    std::vector<std::string> UseLikeChoices() const;
    // Gives the shown item the routines of the item at `model`; the item is shown again.
    SessionStep UseLike(int model);
    // "Add Item…": the question and, as its choices, UseLikeChoices. Adds an item like the one at
    // `model`, named `name` (the model's name when empty), in the first unused id that suits it;
    // the new item is shown, and the list holds it.
    std::string AddItemQuestion() const;
    SessionStep AddItem(int model, std::string_view name);
    // Writes the effect the controls hold for the shown item: "Item Changed" and shown again.
    SessionStep SaveEffect(const ItemEffect& effect);

    // Points the shown item's description at `offsetText`: the description there and a notice
    // about the place; a message where no description ends within reach.
    SessionStep RepointDescription(std::string_view offsetText);
    // Points the shown item's icon at the two offsets; the icon drawn again and a notice.
    SessionStep RepointImage(std::string_view imageOffsetText, std::string_view paletteOffsetText);
    // Why no icon can be imported or exported now (no item shown, a game without icons); none
    // when one can. Ask before choosing a file.
    std::optional<SessionMessage> IconRefusal() const;
    SessionStep ImportIcon(const std::filesystem::path& png);
    SessionStep ExportIcon(const std::filesystem::path& png) const;

    // --- History ---
    HistoryNames History() const;
    // Takes back or brings back a change; the list read again and the changed item shown.
    SessionStep Undo();
    SessionStep Redo();
    void SetKeepHistory(bool keep);
    bool KeepHistory() const;

    // --- Every item at once ---
    SessionStep ExportItems(ExportFormat format) const;
    // Plans an import and keeps the plan for ApplyImport; the step lists the changes.
    SessionStep PlanImport(std::string_view file, ExportFormat format, bool replaceUnknownCharacters = false);
    SessionStep ApplyImport();
    bool HasPendingImport() const;
    // Every item field that differs between the open ROM and `other` (opened with the profiles),
    // listed in `text`, with their number in `changes`.
    SessionStep DiffWith(const std::filesystem::path& other, const ProfileFiles& profiles) const;

    // --- Find Tables ---
    // The tables the open ROM's bytes name, as a profile section with its evidence, in `text`;
    // where they are usable, the question whether to keep them for this ROM alone (where the
    // opening said), answered with AnswerFindTables; where not, the message why.
    SessionStep FindTables();
    // Yes keeps the tables found for the ROM, as a Yes at opening does; the ROM is then to be
    // opened again. No keeps nothing.
    SessionStep AnswerFindTables(bool keep);
    // Sets the effect's fields given by key, as text SetEffectField takes ("20", "off", "1"), on
    // what the shown item's effect holds, and writes it as SaveEffect does.
    SessionStep SaveEffectFields(const std::map<std::string, std::string, std::less<>>& fields);

private:
    SessionStep FinishOpening(Result<OpenedRom> opened);
    SessionStep SaveStepOn();
    SessionStep StepHistory(bool undo);
    SessionStep ShowWritten(int position, std::optional<SessionMessage> message);
    // Opens the ROM again as it now stands, where a change moved its tables, then shows it.
    SessionStep ReopenAndShow(int position);

    struct Data;
    std::unique_ptr<Data> data_;
};

// What a list too narrow for an entry shows in its place: the entry's number alone ("43" of
// "43 Leftovers"). Empty for an entry that is a name only (a pocket, a move).
std::string ListEntryNumber(std::string_view entry);

// The message a refusal shows.
SessionMessage ErrorMessageOf(const Error& error);
// The message where no ROM is open or its game is unknown.
SessionMessage UnsupportedRomMessage();

}  // namespace quillbox
