#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

class QWidget;

namespace quillbox {

// The dialog flags callers pass, with the meanings the Open and Save dialogs honour.
inline constexpr quint32 OFN_OVERWRITEPROMPT = 0x2;
inline constexpr quint32 OFN_HIDEREADONLY = 0x4;  // Qt's dialog never shows a read-only check box
inline constexpr quint32 OFN_PATHMUSTEXIST = 0x800;
inline constexpr quint32 OFN_FILEMUSTEXIST = 0x1000;

// Turns a filter text of display-name and pattern pairs separated by "|", such as
// "GameBoy Advance ROMs (*.gba, *.bin)|*.gba;*.bin|", into Qt's name filters, one per pair:
// "GameBoy Advance ROMs (*.gba, *.bin) (*.gba *.bin)". A closing "|" is optional; a name
// without patterns is dropped.
QStringList ConvertFilterText(const QString& filter);

// The Open and Save dialogs behind two calls that take plain texts and return the chosen path.
// An instance keeps what a call set up for the next call on it, the chosen file name and the
// chosen filter (numbered from 1).
class clsCommonDialog {
public:
    // The chosen file's full path, or empty when the user cancelled.
    QString ShowOpen(QWidget* owner, const QString& Title, const QString& InitDir, const QString& Filter,
                     const quint32& flags);
    // The path to save to, or empty when the user cancelled. A typed name without extension
    // gets ".bas".
    QString ShowSave(QWidget* owner, const QString& Title, const QString& FileName, const QString& InitDir,
                     const QString& Filter, const quint32& flags);

    QString FileName() const { return fileName_; }
    qint32 FilterIndex() const { return filterIndex_; }

private:
    // What the dialog is set up with; a field one call does not set keeps an earlier call's value.
    struct Setup {
        QString title;
        QString initialPlace;
        QStringList nameFilters;
        quint32 flags = 0;
        QString defaultExtension;
    };

    QString Run(QWidget* owner, bool save);

    Setup setup_;
    QString fileName_;
    qint32 filterIndex_ = 0;
};

}  // namespace quillbox
