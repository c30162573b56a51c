#include "app/TableDetectionPrompt.h"

#include "app/QtText.h"
#include "editor/FoundTablesQuestion.h"
#include "base/PathText.h"

#include <QMessageBox>
#include <QString>

namespace quillbox {

Result<OpenedRom> OpenWithTableDetection(QWidget* owner, const std::filesystem::path& rom, const ProfileFiles& profiles)
{
    OpeningProposal proposal = ProposeOpening(rom, profiles, PathText(RomTablesPathOf(rom)));
    if (!proposal.found) {
        return std::move(proposal.opened);
    }
    QMessageBox box(QMessageBox::Question, ProgramTitle(), Utf8ToQString(proposal.question), QMessageBox::Yes | QMessageBox::No,
                    owner);
    box.setObjectName(QStringLiteral("tableDetectionQuestion"));
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes) {
        return std::move(proposal.opened);
    }
    return OpenWithFoundTables(rom, profiles, *proposal.found);
}

}  // namespace quillbox
