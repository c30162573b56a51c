// The window's part of the form model: its controls shown from and read into the core's form,
// the panel saying what the record's coded bytes and routines mean, "Use like…", and the effect.
#include "app/MainWindow.h"

#include "app/EditMenu.h"
#include "app/EffectPanel.h"
#include "app/InputFilters.h"
#include "app/QtText.h"
#include "app/RecordPanel.h"
#include "app/WindowParts.h"

#include "items/effect/ItemEffects.h"
#include "base/HexText.h"

#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace quillbox {

namespace {

const QString kTitle = ProgramTitle();

QStringList ToQStrings(const std::vector<std::string>& entries)
{
    QStringList list;
    list.reserve(static_cast<qsizetype>(entries.size()));
    for (const std::string& entry : entries) {
        list.append(Utf8ToQString(entry));
    }
    return list;
}

int ChooseItem(QWidget* owner, const QString& question, const QStringList& items, int current)
{
    bool chosen = false;
    const QString item = QInputDialog::getItem(owner, kTitle, question, items, current, false, &chosen);
    return chosen ? static_cast<int>(items.indexOf(item)) : -1;
}

}  // namespace

void Form1::SetItemChooser(ItemChooser chooser) { itemChooser_ = std::move(chooser); }

void Form1::BuildRecordPanels()
{
    QWidget* client = centralWidget();
    recordPanel = new RecordPanel(client, client, {622, 2, 384, 438});
    effectPanel = new EffectPanel(client, {8, 446, 998, 222});
    connect(recordPanel, &RecordPanel::useLikeClicked, this, &Form1::UseLike_Click);
    connect(effectPanel, &EffectPanel::saveClicked, this, &Form1::effectSave_Click);
    // The meanings follow the lists as the user picks, and the numbers and routines as they are typed.
    for (const FormControl& control : FormControls()) {
        if (control.field == nullptr) continue;
        QWidget* widget = FormWidget(control);
        if (auto* list = qobject_cast<QComboBox*>(widget)) {
            connect(list, &QComboBox::currentIndexChanged, this, &Form1::ShowMeanings);
        } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            connect(line, &QLineEdit::textChanged, this, &Form1::ShowMeanings);
        }
    }
}

QWidget* Form1::FormWidget(const FormControl& control) const
{
    return centralWidget()->findChild<QWidget*>(Utf8ToQString(control.control));
}

void Form1::EnableRecordPanels(bool on)
{
    for (QWidget* control : recordPanel->Controls()) {
        control->setEnabled(on);
    }
    if (!on) {
        recordPanel->Show({});
        effectPanel->ShowUnavailable(QString());
    }
}

void Form1::FillFormLists()
{
    listMeanings_.clear();
    for (const FormControl& control : FormControls()) {
        if (control.kind == FormControlKind::List) {
            FillListFor(control, control.field != nullptr ? control.field->meaning : Meaning::None);
        }
    }
}

void Form1::FillListFor(const FormControl& control, Meaning meaning)
{
    auto* list = qobject_cast<QComboBox*>(FormWidget(control));
    if (list == nullptr || !session_.IsOpen()) return;
    const int position = list->currentIndex();
    const QString unlisted = list->placeholderText();
    const QSignalBlocker blocker(list);
    FillList(list, ToQStrings(session_.ListEntries(control.control, meaning)));
    ShowListValue(list, position, unlisted);
    listMeanings_[std::string(control.control)] = meaning;
}

void Form1::ShowForm(const ShownItem& shown)
{
    const Form& form = shown.form;
    showingForm_ = true;
    for (const FormControl& control : FormControls()) {
        const auto found = form.find(control.control);
        QWidget* widget = FormWidget(control);
        if (found == form.end() || widget == nullptr) continue;
        const FormValue& value = found->second;
        const QString text = Utf8ToQString(value.text);
        if (auto* line = qobject_cast<QLineEdit*>(widget)) {
            FieldValidator::SetProgramText(line, text);
        } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
            // The move list keeps its entry for items that teach no move.
            if (control.field == nullptr && !shown.hasTmMove) continue;
            if (control.field != nullptr && listMeanings_[std::string(control.control)] != value.meaning) {
                FillListFor(control, value.meaning);
            }
            ShowListValue(list, value.listPosition, text);
        } else if (qobject_cast<QPlainTextEdit*>(widget) != nullptr) {
            ShowDescription(FromUtf8(value.text), shown.room);
        }
        if (control.field != nullptr) widget->setToolTip(Utf8ToQString(value.help));
    }
    showingForm_ = false;
    recordPanel->Show(form);
}

FormInput Form1::ReadForm() const
{
    FormInput input;
    for (const FormControl& control : FormControls()) {
        QWidget* widget = FormWidget(control);
        const std::string name(control.control);
        if (const auto* line = qobject_cast<const QLineEdit*>(widget)) {
            input.texts[name] = line->text().toStdString();
        } else if (const auto* list = qobject_cast<const QComboBox*>(widget)) {
            input.lists[name] = list->currentIndex();
        } else if (qobject_cast<const QPlainTextEdit*>(widget) != nullptr) {
            input.texts[name] = ToUtf8(DescriptionText());
        }
    }
    return input;
}

// The shown item with the values the controls hold now, said in words again.
void Form1::ShowMeanings()
{
    if (showingForm_ || session_.ShownPosition() < 0) return;
    const Form form = session_.FormWords(ReadForm());
    for (const FormControl& control : FormControls()) {
        const auto found = form.find(control.control);
        if (control.field == nullptr || found == form.end()) continue;
        if (control.kind == FormControlKind::List && listMeanings_[std::string(control.control)] != found->second.meaning) {
            FillListFor(control, found->second.meaning);
        }
        if (QWidget* widget = FormWidget(control)) widget->setToolTip(Utf8ToQString(found->second.help));
    }
    recordPanel->Show(form);
}

void Form1::ShowItemEffect(const ShownItem& shown)
{
    QStringList shared;
    for (const Text& name : shown.effectSharedWith) shared.append(QString::fromStdU32String(name));
    effectPanel->Show(shown.effect, shared);
}

// --- Use like… ----------------------------------------------------------------------------------

void Form1::UseLike_Click()
{
    const int position = session_.ShownPosition();
    if (position < 0) return;
    const QStringList items = ToQStrings(session_.UseLikeChoices());
    const QString question = Utf8ToQString(session_.UseLikeQuestion());
    const int model = itemChooser_ ? itemChooser_(this, question, items, position) : ChooseItem(this, question, items, position);
    if (model < 0 || model >= items.size()) return;
    ShowWritten(session_.UseLike(model));
}

// --- Effect -------------------------------------------------------------------------------------

void Form1::effectSave_Click()
{
    if (session_.ShownPosition() < 0) return;
    auto effect = effectPanel->Effect();
    if (!effect) {
        ShowError(effect.error());
        return;
    }
    ShowWritten(session_.SaveEffect(*effect));
}

}  // namespace quillbox
