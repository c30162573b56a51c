#include "app/TableDetectionPrompt.h"

#include "items/TableDetection.h"
#include "rom/PathText.h"

#include <QMessageBox>
#include <QString>

namespace quillbox {

namespace {

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Errors about the file itself say nothing about its tables; every other refusal may be mended
// by tables found in the ROM.
bool MayBeMendedByFoundTables(const Result<OpenedRom>& opened)
{
    if (opened) return opened->gameItemTable >= 0;
    const ErrorCode code = opened.error().code;
    return code != ErrorCode::FileNotOpened && code != ErrorCode::FileRead;
}

QString Reason(const Result<OpenedRom>& opened)
{
    if (opened) {
        return QStringLiteral("The game reads its item table at %1, not where the profile says (%2): "
                              "edits there would not change the game.")
            .arg(QString::number(opened->gameItemTable, 16).toUpper(),
                 QString::number(opened->state.itemTableOffset, 16).toUpper());
    }
    return FromUtf8(opened.error().message) + QStringLiteral(".");
}

}  // namespace

Result<OpenedRom> OpenWithTableDetection(QWidget* owner, const std::filesystem::path& rom, const ProfileFiles& profiles)
{
    auto opened = OpenRom(rom, OpenOptions{profiles, std::nullopt});
    if (!MayBeMendedByFoundTables(opened)) {
        return opened;
    }
    auto detected = DetectTables(rom);
    if (!detected) {
        return opened;
    }
    if (Status usable = CheckDetectedTables(*detected); !usable) {
        // Places with equal evidence are worth telling about where nothing could be opened.
        if (!opened && usable.error().code == ErrorCode::TablesDisagree) {
            return MakeError(ErrorCode::TablesDisagree, opened.error().message + "; in the ROM, " + usable.error().message);
        }
        return opened;
    }
    const QString text = Reason(opened) + QStringLiteral("\n\nThe ROM itself names these tables:\n") +
                         FromUtf8(DescribeDetectedTables(*detected)) +
                         QStringLiteral("\nUse the found tables? They are kept for this ROM alone, in %1.")
                             .arg(FromUtf8(PathText(RomTablesPathOf(rom))));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quillbox"), text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName(QStringLiteral("tableDetectionQuestion"));
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() != QMessageBox::Yes) {
        return opened;
    }
    auto found = OpenRom(rom, OpenOptions{profiles, detected->Tables()});
    if (!found) {
        return found;
    }
    if (Status kept = KeepFoundTables(rom, *detected); !kept) {
        found->warnings.push_back("the found tables are used but could not be kept beside the ROM: " +
                                  kept.error().message);
    }
    return found;
}

}  // namespace quillbox
