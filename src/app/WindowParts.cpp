#include "app/WindowParts.h"

#include "editor/EditorSession.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace quillbox {

void ColourCaption(QGroupBox* frame)
{
    QPalette palette = frame->palette();
    const QColor caption = palette.color(QPalette::Active, QPalette::Highlight);
    palette.setColor(QPalette::Active, QPalette::WindowText, caption);
    palette.setColor(QPalette::Inactive, QPalette::WindowText, caption);
    frame->setPalette(palette);
}

void KeepOrdinaryTextColour(QWidget* widget)
{
    QPalette palette = widget->palette();
    const QPalette ordinary = QApplication::palette(widget);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::WindowText, ordinary.color(group, QPalette::WindowText));
    }
    widget->setPalette(palette);
}

QGroupBox* MakeFrame(QWidget* container, const QString& name, const QRect& geometry, const QString& caption)
{
    auto* frame = Place(new QGroupBox(caption, container), name, geometry);
    ColourCaption(frame);
    return frame;
}

QLabel* MakeLabel(QWidget* container, const QString& name, const QRect& geometry, const QString& caption,
                  Qt::Alignment horizontal)
{
    auto* label = Place(new QLabel(caption, container), name, geometry);
    label->setAlignment(horizontal | Qt::AlignVCenter);
    return label;
}

QPushButton* MakeButton(QWidget* container, const QString& name, const QRect& geometry, const QString& caption)
{
    auto* button = Place(new QPushButton(caption, container), name, geometry);
    button->setAutoDefault(false);
    return button;
}

QLabel* MakeWordsLabel(QWidget* container, const QString& name, const QRect& geometry)
{
    auto* label = Place(new QLabel(container), name, geometry);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

void ShowWords(QLabel* label, const QString& words, const QString& tip)
{
    QString kept = words;
    label->setText(kept);
    while (label->heightForWidth(label->width()) > label->height()) {
        const qsizetype space = kept.lastIndexOf(u' ');
        if (space <= 0) break;
        kept = kept.left(space);
        while (kept.endsWith(u',') || kept.endsWith(u';') || kept.endsWith(u':')) kept.chop(1);
        label->setText(kept + u'\u2026');
    }
    QString fullTip = label->text() == words ? QString() : words;
    if (!tip.isEmpty()) {
        fullTip += (fullTip.isEmpty() ? QString() : u"\n\n"_s) + tip;
    }
    label->setToolTip(fullTip);
}

CodeList::CodeList(QWidget* parent) : QComboBox(parent) {}

QRect CodeList::TextField() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    return style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
}

QString CodeList::ClosedText(const QString& entry) const
{
    if (fontMetrics().horizontalAdvance(entry) <= TextField().width()) {
        return entry;
    }
    // The number alone, by the rule the page follows too; an entry that is only a name stays whole.
    const std::string number = ListEntryNumber(entry.toStdString());
    return number.empty() ? entry : QString::fromStdString(number);
}

int CodeList::TextRoom(const QString& closed) const
{
    const QRect field = TextField();
    return fontMetrics().horizontalAdvance(closed) <= field.width() ? field.width() : width() - 2 * field.left();
}

// As QComboBox draws itself, with the closed text of the entry.
void CodeList::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    QStyleOptionComboBox option;
    initStyleOption(&option);
    if (currentIndex() < 0 && !placeholderText().isEmpty()) {
        option.palette.setBrush(QPalette::ButtonText, option.palette.placeholderText());
        option.currentText = placeholderText();
    }
    option.currentText = ClosedText(option.currentText);
    const QRect field = TextField();
    const bool besideArrow = fontMetrics().horizontalAdvance(option.currentText) <= field.width();
    if (!besideArrow) {
        option.subControls &= ~QStyle::SC_ComboBoxArrow;
        // Styles that keep a drawn list for the next one of its size and state (Fusion does) would
        // otherwise hand the lists beside it this one without its arrow, or this one theirs.
        option.activeSubControls = QStyle::SC_ComboBoxEditField;
    }
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    if (!besideArrow) {
        // The label is drawn where the style puts the text of a list as wide as the arrow's room.
        option.rect.setWidth(option.rect.width() + (width() - field.right() - 1) - field.left());
    }
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

void ShowListValue(QComboBox* list, int position, const QString& unlisted)
{
    if (position >= 0 && position < list->count()) {
        list->setPlaceholderText(QString());
        list->setCurrentIndex(position);
    } else {
        list->setCurrentIndex(-1);
        list->setPlaceholderText(unlisted);
    }
}

void FillList(QComboBox* list, const QStringList& entries)
{
    list->clear();
    list->addItems(entries);
    int widest = 0;
    for (const QString& entry : entries) {
        widest = std::max(widest, list->fontMetrics().horizontalAdvance(entry));
    }
    const int margins = 16 + list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    list->view()->setMinimumWidth(std::max(list->width(), widest + margins));
}

}  // namespace quillbox
