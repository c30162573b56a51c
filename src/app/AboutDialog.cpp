#include "app/AboutDialog.h"

#include "app/WindowFont.h"
#include "app/QtText.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace quillbox {

namespace {

QLabel* AddLabel(QDialog* dialog, const QString& name, const QRect& geometry, const QString& text)
{
    auto* label = new QLabel(text, dialog);
    label->setObjectName(name);
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
    return label;
}

// One of the two lines that together draw an etched separator.
void AddLine(QDialog* dialog, int index, const QRect& geometry, const QColor& colour)
{
    auto* line = new QFrame(dialog);
    line->setObjectName(u"Line1"_s);
    line->setProperty("index", index);
    line->setGeometry(geometry);
    line->setAutoFillBackground(true);
    QPalette palette = line->palette();
    palette.setColor(QPalette::Window, colour);
    line->setPalette(palette);
}

}  // namespace

frmAbout::frmAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                         Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(Utf8ToQString(kAboutTitle));
    if (owner != nullptr) {
        setWindowIcon(owner->windowIcon());
    }
    setFont(WindowFont());
    setFixedSize(393, 284);
    setModal(true);

    QLabel* title = AddLabel(this, u"lblTitle"_s, {22, 16, 321, 32}, Utf8ToQString(kProgramTitle));
    QFont titleFont = title->font();
    titleFont.setPixelSize(24);
    titleFont.setBold(true);
    title->setFont(titleFont);
    AddLabel(this, u"lblVersion"_s, {22, 52, 321, 15}, Utf8ToQString(kAboutVersion));
    QLabel* description =
        AddLabel(this, u"lblDescription"_s, {32, 72, 305, 118},
                 Utf8ToQString(kAboutCredits));
    description->setWordWrap(true);
    // The grey line lies on the white one's upper row, which leaves a white row below it.
    AddLine(this, 0, {16, 192, 362, 2}, QColor(0xFF, 0xFF, 0xFF));
    AddLine(this, 1, {16, 192, 363, 1}, QColor(0x80, 0x80, 0x80));
    AddLabel(this, u"lblDisclaimer"_s, {104, 200, 177, 23}, Utf8ToQString(kAboutDisclaimer));

    auto* ok = new QPushButton(u"OK"_s, this);
    ok->setObjectName(u"cmdOK"_s);
    ok->setGeometry(0, 240, 390, 39);
    ok->setDefault(true);
    ok->setAutoDefault(true);
    ok->setFocus();
    connect(ok, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
}

void frmAbout::cmdOK_Click() { accept(); }

}  // namespace quillbox
