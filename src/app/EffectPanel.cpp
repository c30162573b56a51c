#include "app/EffectPanel.h"

#include "app/QtText.h"
#include "app/WindowParts.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

using namespace Qt::StringLiterals;

namespace quillbox {

namespace {

constexpr int kFlagColumns = 5;
constexpr int kNumberColumns = 4;
constexpr int kRowHeight = 20;
constexpr int kSpinWidth = 60;

QString ControlName(const EffectField& field) { return u"effect_"_s + Utf8ToQString(field.key); }

bool TakesArgument(const EffectField& field)
{
    return field.kind == EffectFieldKind::Amount || field.kind == EffectFieldKind::SignedAmount;
}

// An amount switched off stands one below its range, shown as "off".
QSpinBox* MakeSpin(QWidget* container, const EffectField& field, const QRect& geometry)
{
    auto* spin = Place(new QSpinBox(container), ControlName(field), geometry);
    spin->setRange(TakesArgument(field) ? field.minimum - 1 : field.minimum, field.maximum);
    if (TakesArgument(field)) spin->setSpecialValueText(u"off"_s);
    spin->setAlignment(Qt::AlignRight);
    spin->setToolTip(Utf8ToQString(field.label));
    return spin;
}

}  // namespace

EffectPanel::EffectPanel(QWidget* parent, const QRect& geometry) : QGroupBox(u"Effect when used"_s, parent)
{
    setObjectName(u"effectPanel"_s);
    setGeometry(geometry);
    ColourCaption(this);
    auto* area = Place(new QWidget(this), u"effectControls"_s, {4, 20, geometry.width() - 8, geometry.height() - 24});
    KeepOrdinaryTextColour(area);
    const int width = area->width() - 8;
    words_ = MakeWordsLabel(area, u"effectWords"_s, {4, 0, width, 28});

    const int flagWidth = width / kFlagColumns;
    const int numberWidth = width / kNumberColumns;
    int flags = 0;
    for (const EffectField& field : EffectFields()) {
        if (field.kind == EffectFieldKind::Flag) ++flags;
    }
    const int numbersTop = 30 + (flags + kFlagColumns - 1) / kFlagColumns * kRowHeight + 4;
    int flag = 0;
    int number = 0;
    for (const EffectField& field : EffectFields()) {
        if (field.kind == EffectFieldKind::Flag) {
            const QRect place{4 + flag % kFlagColumns * flagWidth, 30 + flag / kFlagColumns * kRowHeight, flagWidth - 6, 19};
            auto* box = Place(new QCheckBox(Utf8ToQString(field.label), area), ControlName(field), place);
            controls_.push_back(box);
            ++flag;
            continue;
        }
        const int x = 4 + number % kNumberColumns * numberWidth;
        const int y = numbersTop + number / kNumberColumns * kRowHeight;
        MakeLabel(area, ControlName(field) + u"_label"_s, {x, y, numberWidth - kSpinWidth - 10, 19}, Utf8ToQString(field.label));
        controls_.push_back(MakeSpin(area, field, {x + numberWidth - kSpinWidth - 8, y, kSpinWidth, 19}));
        ++number;
    }
    const int lastRow = numbersTop + (number - 1) / kNumberColumns * kRowHeight;
    save_ = MakeButton(area, u"effectSave"_s, {width + 4 - 90, lastRow - 1, 90, 21}, u"Save Effect"_s);
    connect(save_, &QPushButton::clicked, this, &EffectPanel::saveClicked);
    ShowUnavailable(QString());
}

std::vector<QWidget*> EffectPanel::Controls() const
{
    std::vector<QWidget*> controls = controls_;
    controls.push_back(save_);
    return controls;
}

void EffectPanel::EnableControls(bool on)
{
    for (QWidget* control : controls_) {
        control->setEnabled(on);
    }
    for (QLabel* label : findChildren<QLabel*>()) {
        if (label != words_) label->setEnabled(on);
    }
    save_->setEnabled(on);
}

void EffectPanel::Show(const ItemEffectView& view, const QStringList& sharedNames)
{
    if (!view.Available()) {
        ShowUnavailable(Utf8ToQString(view.unavailable));
        return;
    }
    const auto fields = EffectFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const QString text = Utf8ToQString(EffectFieldText(view.effect, fields[i]));
        if (auto* box = qobject_cast<QCheckBox*>(controls_[i])) {
            box->setChecked(text == u"1"_s);
        } else if (auto* spin = qobject_cast<QSpinBox*>(controls_[i])) {
            spin->setValue(text == u"off"_s ? spin->minimum() : text.toInt());
        }
    }
    QString words = Utf8ToQString(view.words);
    if (!sharedNames.isEmpty()) {
        words += (sharedNames.size() == 1 ? u"\nShared with 1 item: "_s
                                          : u"\nShared with %1 items: "_s.arg(sharedNames.size())) +
                 sharedNames.join(u", "_s);
    }
    ShowWords(words_, words);
    EnableControls(true);
}

void EffectPanel::ShowUnavailable(const QString& reason)
{
    for (QWidget* control : controls_) {
        if (auto* box = qobject_cast<QCheckBox*>(control)) {
            box->setChecked(false);
        } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
            spin->setValue(spin->minimum());
        }
    }
    // The core's reasons are clauses; standing alone they start as a sentence does.
    QString sentence = reason;
    if (!sentence.isEmpty()) sentence[0] = sentence[0].toUpper();
    ShowWords(words_, sentence);
    EnableControls(false);
}

Result<ItemEffect> EffectPanel::Effect(const ItemEffect& shown) const
{
    ItemEffect effect = shown;
    const auto fields = EffectFields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        QString text;
        if (const auto* box = qobject_cast<const QCheckBox*>(controls_[i])) {
            text = box->isChecked() ? u"1"_s : u"0"_s;
        } else if (const auto* spin = qobject_cast<const QSpinBox*>(controls_[i])) {
            text = spin->value() == spin->minimum() && !spin->specialValueText().isEmpty() ? u"off"_s
                                                                                        : QString::number(spin->value());
        }
        if (Status set = SetEffectField(effect, fields[i].key, text.toStdString()); !set) {
            return set.error();
        }
    }
    return effect;
}

}  // namespace quillbox
