#include "app/FileDialog.h"

#include <QFileDialog>

using namespace Qt::StringLiterals;

namespace quillbox {

QStringList ConvertFilterText(const QString& filter)
{
    QStringList parts = filter.split(u'|');
    if (!parts.isEmpty() && parts.last().isEmpty()) {
        parts.removeLast();
    }
    QStringList nameFilters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        nameFilters.append(parts[i] + u" ("_s + patterns.join(u' ') + u')');
    }
    return nameFilters;
}

QString clsCommonDialog::ShowOpen(QWidget* owner, const QString& Title, const QString& InitDir, const QString& Filter,
                                  const quint32& flags)
{
    setup_.nameFilters = ConvertFilterText(Filter);
    setup_.initialPlace = InitDir.isEmpty() ? fileName_ : InitDir;
    setup_.title = Title;
    setup_.flags = flags;
    const QString chosen = Run(owner, false).trimmed();
    if (!chosen.isEmpty()) {
        fileName_ = chosen;
    }
    return chosen;
}

QString clsCommonDialog::ShowSave(QWidget* owner, const QString& Title, const QString& FileName, const QString& InitDir,
                                  const QString& Filter, const quint32& flags)
{
    setup_.nameFilters = ConvertFilterText(Filter);
    setup_.initialPlace = FileName.isEmpty() ? InitDir : InitDir.isEmpty() ? FileName : InitDir + u'/' + FileName;
    setup_.title = Title;
    setup_.flags = flags;
    setup_.defaultExtension = u"bas"_s;
    return Run(owner, true);
}

QString clsCommonDialog::Run(QWidget* owner, bool save)
{
    QFileDialog dialog(owner, setup_.title, setup_.initialPlace);
    // Qt's own dialog behaves the same on every desktop, and a test can find and answer it.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    const bool fileMustExist = (setup_.flags & OFN_FILEMUSTEXIST) != 0;
    dialog.setFileMode(!save && fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, (setup_.flags & OFN_OVERWRITEPROMPT) == 0);
    if (!setup_.nameFilters.isEmpty()) {
        dialog.setNameFilters(setup_.nameFilters);
    }
    dialog.setDefaultSuffix(setup_.defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    if (!chosen.isEmpty()) {
        // With the patterns hidden, the dialog names the chosen filter by its display name alone.
        const QString selected = dialog.selectedNameFilter();
        for (qsizetype i = 0; i < setup_.nameFilters.size(); ++i) {
            const QString& filter = setup_.nameFilters[i];
            if (filter == selected || filter.left(filter.lastIndexOf(u" ("_s)) == selected) {
                filterIndex_ = static_cast<qint32>(i + 1);
                break;
            }
        }
    }
    return chosen;
}

}  // namespace quillbox
