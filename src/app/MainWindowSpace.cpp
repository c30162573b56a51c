// The window's part of free space and sharing: the questions before a save (characters the game
// cannot show, a description that has to move or is shared), the icon import and export,
// who-uses-what tooltips and the Repoint notices.
#include "app/MainWindow.h"

#include "app/EditMenu.h"
#include "app/InputFilters.h"

#include "items/DescriptionGrowth.h"
#include "items/IconTransfer.h"
#include "items/Sharing.h"
#include "rom/HexText.h"

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

const QString kTitle = u"Quillbox"_s;

QString Hex(std::int64_t offset) { return QString::fromStdString(NumberToHex(static_cast<std::uint64_t>(offset))); }

QString Items(std::size_t count) { return count == 1 ? u"1 other item"_s : u"%1 other items"_s.arg(count); }

// "10, 12 and 3 more": a tooltip names a few positions, not hundreds.
QString Positions(const std::vector<int>& items)
{
    constexpr std::size_t kNamed = 8;
    QStringList named;
    for (std::size_t i = 0; i < items.size() && i < kNamed; ++i) named.append(QString::number(items[i]));
    QString text = named.join(u", "_s);
    if (items.size() > kNamed) text += u" and %1 more"_s.arg(items.size() - kNamed);
    return text;
}

QString SharedText(const SharedPlace& place)
{
    QString text = place.items.empty() ? u"used by this item only"_s
                                       : u"shared with "_s + Items(place.items.size()) + u" ("_s + Positions(place.items) + u")"_s;
    if (place.otherPointers && *place.otherPointers > 0) {
        text += *place.otherPointers == 1 ? u", and 1 more pointer of the ROM names it"_s
                                          : u", and %1 more pointers of the ROM name it"_s.arg(*place.otherPointers);
    }
    return text;
}

QString PlaceText(const PlaceUse& use, const QString& what)
{
    switch (use.kind) {
    case PlaceUse::Kind::Free: return u"The new "_s + what + u" place was free space."_s;
    case PlaceUse::Kind::UsedByItems: return u"The new "_s + what + u" place held "_s + (what == u"description"_s ? u"text"_s : u"data"_s) + u" used by "_s + Items(use.items.size()) + u"."_s;
    case PlaceUse::Kind::UnusedData: break;
    }
    return u"The new "_s + what + u" place held data no item uses."_s;
}

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
    const GameFamily* family = state_.Family();
    if (family == nullptr || shownItem_ < 0) {
        return {};
    }
    auto pointers = ReadItemPointers(state_);
    auto rom = ReadRomImage(state_);
    if (!pointers || !rom) {
        return {};
    }
    const ItemSharing sharing = FindSharing(*pointers, &rom->targets, shownItem_);
    if (control == descp) {
        return u"Description "_s + SharedText(sharing.description);
    }
    if (control == picItem && sharing.image && sharing.palette) {
        return u"Image "_s + SharedText(*sharing.image) + u"\nPalette "_s + SharedText(*sharing.palette);
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

bool Form1::SaveItemWithRoom(int position, ItemEdit edit)
{
    if (const Text unknown = UnknownCharactersOf(edit); !unknown.empty()) {
        const QString question = QString::fromStdString(NameCharacters(unknown)) +
                                 u" cannot be written in this game and would be saved as spaces. Save anyway?"_s;
        if (Ask(question, QMessageBox::Yes | QMessageBox::No, u"unknownCharactersQuestion"_s) != QMessageBox::Yes) {
            return false;
        }
        edit.replaceUnknownCharacters = true;
    }
    DescriptionMove move = DescriptionMove::None;
    if (edit.description) {
        auto pointers = ReadItemPointers(state_);
        if (!pointers) {
            ShowError(pointers.error());
            return false;
        }
        const DescriptionNeeds needs = AssessDescription(*edit.description, descriptionPlace_, *pointers, position);
        if (!needs.fits || !needs.sharedWith.empty()) {
            // Where a copy of its own would go; the same place a move for all would take.
            auto proposal = PlanItemSave(state_, position, edit, descriptionPlace_, DescriptionMove::OwnCopy);
            if (!proposal && !needs.fits) {
                ShowError(proposal.error());
                return false;
            }
            const QString where = proposal ? u"free space at %1 (%2 bytes)"_s.arg(Hex(proposal->description.place.offset))
                                                 .arg(proposal->description.place.roomBytes)
                                           : QString();
            if (needs.sharedWith.empty()) {
                const QString question = u"The description needs %1 bytes and its place holds %2.\n\nMove it to %3? "
                                         u"The old text stays where it is."_s
                                             .arg(needs.bytes)
                                             .arg(needs.roomBytes)
                                             .arg(where);
                if (Ask(question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
                    return false;
                }
                move = DescriptionMove::Relocate;
            } else {
                QString question = u"This description is shared with "_s + Items(needs.sharedWith.size()) + u" ("_s +
                                   Positions(needs.sharedWith) + u").\n\nYes: change it for all of them"_s +
                                   (needs.fits ? u", in place."_s : u", moved to "_s + where + u"."_s);
                QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::Cancel;
                if (proposal) {
                    question += u"\nNo: give this item its own copy in "_s + where + u"; the others keep the old text."_s;
                    buttons |= QMessageBox::No;
                }
                const QMessageBox::StandardButton answer = Ask(question, buttons);
                if (answer != QMessageBox::Yes && answer != QMessageBox::No) {
                    return false;
                }
                move = answer == QMessageBox::Yes ? DescriptionMove::Relocate : DescriptionMove::OwnCopy;
            }
        }
    }
    if (move == DescriptionMove::None) {
        if (Status saved = SaveItem(state_, position, edit, descriptionPlace_); !saved) {
            ShowError(saved.error());
            return false;
        }
        return true;
    }
    auto plan = PlanItemSave(state_, position, edit, descriptionPlace_, move);
    if (!plan) {
        ShowError(plan.error());
        return false;
    }
    const char* label = !plan->description.moved           ? "Save"
                        : move == DescriptionMove::OwnCopy ? "Own Copy of Description"
                                                           : "Relocate Description";
    if (Status saved = ApplyToRom(state_, plan->patches, {label, position}); !saved) {
        ShowError(saved.error());
        return false;
    }
    return true;
}

QString Form1::DescribeDescriptionTarget(std::int64_t offset) const
{
    auto rom = ReadRomImage(state_);
    if (!rom) {
        return {};
    }
    const ItemPointers pointers = ItemPointersFromRom(state_, rom->bytes);
    return PlaceText(DescribeDescriptionPlace(rom->bytes, rom->targets, pointers, offset, state_.itemIndex), u"description"_s);
}

QString Form1::DescribeImageTargets(std::int64_t imageOffset, std::int64_t paletteOffset) const
{
    auto rom = ReadRomImage(state_);
    if (!rom) {
        return {};
    }
    const ItemPointers pointers = ItemPointersFromRom(state_, rom->bytes);
    return PlaceText(DescribeImagePlace(rom->bytes, rom->targets, pointers, imageOffset, state_.itemIndex), u"image"_s) +
           u" "_s +
           PlaceText(DescribeImagePlace(rom->bytes, rom->targets, pointers, paletteOffset, state_.itemIndex), u"palette"_s);
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
    const GameFamily* family = state_.Family();
    if (family == nullptr || shownItem_ < 0) {
        ShowMessage(u"Unsupported ROM or no ROM opened!"_s);
        return false;
    }
    if (!family->hasImages) {
        ShowError(MakeError(ErrorCode::NoImages));
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
    const int position = shownItem_;
    auto plan = PlanIconImport(state_, position, std::filesystem::path(chosen.toStdU16String()));
    if (!plan) {
        ShowError(plan.error());
        return;
    }
    if (Status written = ApplyToRom(state_, plan->patches, {"Import Icon", position}); !written) {
        ShowError(written.error());
        return;
    }
    editMenu_->Refresh();
    // Only the icon is shown again: edits not yet saved in the other controls stay.
    if (auto offsets = ReadImageOffsets(state_, position)) {
        FieldValidator::SetProgramText(IMGOFF, QString::fromStdString(offsets->imageOffsetText));
        FieldValidator::SetProgramText(PALOFF, QString::fromStdString(offsets->paletteOffsetText));
    }
    DrawItemImage();
    ShowMessage(u"Icon imported into free space: image at %1, palette at %2."_s.arg(Hex(plan->imageOffset), Hex(plan->paletteOffset)));
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
    if (Status written = ExportItemIcon(state_, shownItem_, std::filesystem::path(chosen.toStdU16String())); !written) {
        ShowError(written.error());
    }
}

}  // namespace quillbox
