// The window's part of free space and sharing: the questions before a save (characters the game
// cannot show, a description that has to move or is shared), the icon import and export,
// who-uses-what tooltips and the Repoint notices.
#include "app/MainWindow.h"

#include "app/EditMenu.h"
#include "app/InputFilters.h"
#include "app/QtText.h"

#include "items/record/DescriptionGrowth.h"
#include "items/record/IconTransfer.h"
#include "editor/SaveQuestions.h"
#include "items/record/Sharing.h"
#include "editor/UserTexts.h"
#include "base/HexText.h"

#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolTip>

using namespace Qt::StringLiterals;

namespace quillbox {

namespace {

const QString kTitle = ProgramTitle();


}  // namespace

void Form1::BuildSpaceActions()
{
    mnuAllowLongerDescription = new QAction(u"Allow Longer Description"_s, this);
    mnuAllowLongerDescription->setObjectName(u"mnuAllowLongerDescription"_s);
    mnuAllowLongerDescription->setCheckable(true);
    descp->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(descp, &QPlainTextEdit::customContextMenuRequested, this, &Form1::ShowDescpContextMenu);

    mnuImportIcon = new QAction(u"Import icon from PNG\u2026"_s, picItem);
    mnuImportIcon->setObjectName(u"mnuImportIcon"_s);
    mnuExportIcon = new QAction(u"Export icon as PNG\u2026"_s, picItem);
    mnuExportIcon->setObjectName(u"mnuExportIcon"_s);
    picItem->addAction(mnuImportIcon);
    picItem->addAction(mnuExportIcon);
    picItem->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(mnuImportIcon, &QAction::triggered, this, &Form1::mnuImportIcon_Click);
    connect(mnuExportIcon, &QAction::triggered, this, &Form1::mnuExportIcon_Click);
}

void Form1::ShowDescpContextMenu(const QPoint& position)
{
    std::unique_ptr<QMenu> menu(descp->createStandardContextMenu(position));
    menu->addSeparator();
    menu->addAction(mnuAllowLongerDescription);
    menu->exec(descp->viewport()->mapToGlobal(position));
}

QString Form1::SharingTip(const QWidget* control) const
{
    if (control == descp) {
        return Utf8ToQString(session_.DescriptionSharingTip());
    }
    if (control == picItem) {
        return Utf8ToQString(session_.IconSharingTip());
    }
    return {};
}

bool Form1::ShowSharingTip(QObject* watched, QEvent* event)
{
    QWidget* control = watched == descp || watched == descp->viewport() ? static_cast<QWidget*>(descp)
                       : watched == picItem                            ? static_cast<QWidget*>(picItem)
                                                                       : nullptr;
    if (control == nullptr) {
        return false;
    }
    const QString tip = SharingTip(control);
    if (tip.isEmpty()) {
        return false;
    }
    QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, control);
    return true;
}

QMessageBox::StandardButton Form1::Ask(const QString& text, QMessageBox::StandardButtons buttons, const QString& name)
{
    if (questionHandler_) {
        return questionHandler_(kTitle, text, buttons);
    }
    QMessageBox box(QMessageBox::Question, kTitle, text, buttons, this);
    box.setObjectName(name);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

SessionStep Form1::AnswerSaveQuestions(SessionStep step)
{
    while (step.question) {
        const SessionQuestion& question = *step.question;
        QMessageBox::StandardButtons buttons = QMessageBox::Yes;
        if (question.offersCancel) buttons |= QMessageBox::Cancel;
        if (question.offersNo) buttons |= QMessageBox::No;
        const QMessageBox::StandardButton answer = Ask(Utf8ToQString(question.text), buttons, Utf8ToQString(question.id));
        step = session_.AnswerSave(answer == QMessageBox::Yes  ? SaveAnswer::Yes
                                   : answer == QMessageBox::No ? SaveAnswer::No
                                                               : SaveAnswer::Cancel);
    }
    return step;
}

void Form1::ShowNotice(QWidget* near, const QString& text)
{
    lastNotice_ = text;
    near->setToolTip(text);
    if (!text.isEmpty()) {
        QToolTip::showText(near->mapToGlobal(QPoint(0, near->height())), text, near);
    }
}

bool Form1::ShownItemHasIcon()
{
    if (const auto refused = session_.IconRefusal()) {
        ShowSessionMessage(*refused);
        return false;
    }
    return true;
}

void Form1::mnuImportIcon_Click()
{
    if (!ShownItemHasIcon()) {
        return;
    }
    const QString chosen = imageFileChooser_ ? imageFileChooser_(this, false)
                                             : QFileDialog::getOpenFileName(this, u"Import icon from PNG"_s, QString(),
                                                                            u"PNG images (*.png)"_s);
    if (chosen.isEmpty()) {
        return;
    }
    const SessionStep step = session_.ImportIcon(std::filesystem::path(chosen.toStdU16String()));
    if (!step.written) {
        if (step.message) ShowSessionMessage(*step.message);
        return;
    }
    editMenu_->Refresh();
    // Only the icon is shown again: edits not yet saved in the other controls stay.
    if (step.imageOffsets) {
        FieldValidator::SetProgramText(IMGOFF, QString::fromStdString(step.imageOffsets->imageOffsetText));
        FieldValidator::SetProgramText(PALOFF, QString::fromStdString(step.imageOffsets->paletteOffsetText));
    }
    if (step.icon) DrawIcon(*step.icon);
    if (step.message) ShowSessionMessage(*step.message);
}

void Form1::mnuExportIcon_Click()
{
    if (!ShownItemHasIcon()) {
        return;
    }
    const QString chosen = imageFileChooser_ ? imageFileChooser_(this, true)
                                             : QFileDialog::getSaveFileName(this, u"Export icon as PNG"_s, QString(),
                                                                            u"PNG images (*.png)"_s);
    if (chosen.isEmpty()) {
        return;
    }
    const SessionStep step = session_.ExportIcon(std::filesystem::path(chosen.toStdU16String()));
    if (step.message) ShowSessionMessage(*step.message);
}

}  // namespace quillbox
