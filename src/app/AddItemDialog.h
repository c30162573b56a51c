#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <optional>

class QComboBox;
class QLineEdit;

namespace quillbox {

// What "Add Item…" asks: the item to start from and the new item's name (empty keeps the other's).
struct AddItemAnswer {
    int model = -1;
    QString name;
};

// The small dialog of "Add Item…": a list of the items to copy, starting at the item shown, and
// the new item's name.
class AddItemDialog : public QDialog {
    Q_OBJECT
public:
    AddItemDialog(QWidget* owner, const QString& question, const QString& nameLabel, const QStringList& items, int current);

    AddItemAnswer Answer() const;

    // Shows the dialog and waits; nothing when the user cancelled.
    static std::optional<AddItemAnswer> Ask(QWidget* owner, const QString& question, const QString& nameLabel,
                                            const QStringList& items, int current);

private:
    QComboBox* cboAddItemLike = nullptr;
    QLineEdit* txtAddItemName = nullptr;
};

}  // namespace quillbox
