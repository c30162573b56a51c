#pragma once

#include <QComboBox>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

class QGroupBox;
class QLabel;
class QPushButton;

namespace quillbox {

// The pieces every part of the window is built from, so that its panels look alike.

template <typename Widget> Widget* Place(Widget* widget, const QString& name, const QRect& geometry)
{
    widget->setObjectName(name);
    widget->setGeometry(geometry);
    return widget;
}

// A frame whose caption is drawn in the colour the desktop gives the active title bar.
QGroupBox* MakeFrame(QWidget* container, const QString& name, const QRect& geometry, const QString& caption);
void ColourCaption(QGroupBox* frame);
// The controls inside a frame keep the ordinary text colour rather than the caption's.
void KeepOrdinaryTextColour(QWidget* widget);

QLabel* MakeLabel(QWidget* container, const QString& name, const QRect& geometry, const QString& caption,
                  Qt::Alignment horizontal = Qt::AlignLeft);
QPushButton* MakeButton(QWidget* container, const QString& name, const QRect& geometry, const QString& caption);

// A label of a few lines for what a value means: the text wraps, and what does not fit the
// label's height is cut at a word and ended with "…", the whole of it then in the tooltip.
QLabel* MakeWordsLabel(QWidget* container, const QString& name, const QRect& geometry);
void ShowWords(QLabel* label, const QString& words, const QString& tip = QString());

// A list of coded values ("43 Leftovers") kept narrow: closed, it shows the whole entry when it
// fits and the number alone when not, the words beside the list saying the rest. A number too
// wide for the room beside the arrow takes the arrow's room as well.
class CodeList : public QComboBox {
    Q_OBJECT
public:
    explicit CodeList(QWidget* parent = nullptr);
    // What the closed list shows for an entry (or for the number of a value without one).
    QString ClosedText(const QString& entry) const;
    // The width the closed list draws that text in.
    int TextRoom(const QString& closed) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect TextField() const;
};

// Selects the entry of a stored value; a value with no entry shows as its number, with nothing
// selected, and a save then leaves it as stored.
void ShowListValue(QComboBox* list, int position, const QString& unlisted);

// Replaces a list's entries, its drop-down made as wide as the widest of them.
void FillList(QComboBox* list, const QStringList& entries);

}  // namespace quillbox
