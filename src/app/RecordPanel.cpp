#include "app/RecordPanel.h"

#include "app/QtText.h"
#include "app/WindowParts.h"

#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace quillbox {

namespace {

constexpr int kRowHeight = 41;
constexpr int kNameWidth = 80;
constexpr int kListWidth = 56;
constexpr int kButtonWidth = 70;

QString NameOf(std::string_view control) { return Utf8ToQString(control); }

// The coded bytes and the routines: the fields whose value the game looks something up by.
bool HasMeaningRow(const FormControl& control)
{
    return control.field != nullptr &&
           (control.kind == FormControlKind::List || control.field->kind == FieldKind::Pointer);
}

// "fieldUsageCodePointer" gives "fieldUseLike".
QString UseLikeName(const RecordField& field)
{
    const std::string_view key = field.key;
    return Utf8ToQString(key.substr(0, key.find("Usage"))) + u"UseLike"_s;
}

}  // namespace

RecordPanel::RecordPanel(QWidget* parent, const QWidget* others, const QRect& geometry)
    : QGroupBox(u"What the game does with it"_s, parent)
{
    setObjectName(u"recordPanel"_s);
    setGeometry(geometry);
    ColourCaption(this);
    auto* rows = Place(new QWidget(this), u"recordRows"_s, {4, 20, geometry.width() - 8, geometry.height() - 24});
    KeepOrdinaryTextColour(rows);
    const int right = rows->width() - 4;

    int y = 2;
    for (const FormControl& control : FormControls()) {
        if (!HasMeaningRow(control)) continue;
        const QString name = NameOf(control.control);
        Row row{&control, nullptr, nullptr};
        row.name = MakeLabel(rows, name + u"Label"_s, {4, y + 2, kNameWidth, 17}, Utf8ToQString(control.field->label));
        row.name->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        int wordsLeft = kNameWidth + 8;
        int wordsRight = right;
        if (others->findChild<QWidget*>(name) == nullptr) {
            auto* list = Place(new CodeList(rows), name, {wordsLeft, y, kListWidth, 21});
            list->setEnabled(false);
            controls_.push_back(list);
            wordsLeft += kListWidth + 6;
        }
        if (control.field->kind == FieldKind::Pointer) {
            auto* button = MakeButton(rows, UseLikeName(*control.field), {right - kButtonWidth, y, kButtonWidth, 21},
                                      u"Use like\u2026"_s);
            button->setEnabled(false);
            button->setToolTip(u"Gives this item the field and battle routines of another item, with the type and "
                               u"secondary id they read"_s);
            connect(button, &QPushButton::clicked, this, &RecordPanel::useLikeClicked);
            controls_.push_back(button);
            wordsRight -= kButtonWidth + 6;
        }
        row.words = MakeWordsLabel(rows, name + u"Words"_s, {wordsLeft, y + 2, wordsRight - wordsLeft, kRowHeight - 4});
        rows_.push_back(row);
        y += kRowHeight;
    }
}

void RecordPanel::Show(const Form& form)
{
    for (const Row& row : rows_) {
        const auto found = form.find(row.control->control);
        if (found == form.end()) {
            ShowWords(row.words, QString());
            continue;
        }
        const FormValue& value = found->second;
        const QString help = Utf8ToQString(value.help);
        if (!value.label.empty()) row.name->setText(Utf8ToQString(value.label));
        row.name->setToolTip(help);
        ShowWords(row.words, Utf8ToQString(value.words), help);
    }
}

}  // namespace quillbox
