#include "app/AddItemDialog.h"

#include "app/QtText.h"
#include "editor/UserTexts.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

using namespace Qt::StringLiterals;

namespace quillbox {

AddItemDialog::AddItemDialog(QWidget* owner, const QString& question, const QString& nameLabel, const QStringList& items,
                             int current)
    : QDialog(owner)
{
    setObjectName(u"dlgAddItem"_s);
    setWindowTitle(Utf8ToQString(kAddItemTitle));
    auto* form = new QFormLayout(this);
    cboAddItemLike = new QComboBox(this);
    cboAddItemLike->setObjectName(u"cboAddItemLike"_s);
    cboAddItemLike->addItems(items);
    if (current >= 0 && current < items.size()) cboAddItemLike->setCurrentIndex(current);
    txtAddItemName = new QLineEdit(this);
    txtAddItemName->setObjectName(u"txtAddItemName"_s);
    form->addRow(question, cboAddItemLike);
    form->addRow(nameLabel, txtAddItemName);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(u"addItemButtons"_s);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AddItemAnswer AddItemDialog::Answer() const { return {cboAddItemLike->currentIndex(), txtAddItemName->text()}; }

std::optional<AddItemAnswer> AddItemDialog::Ask(QWidget* owner, const QString& question, const QString& nameLabel,
                                                const QStringList& items, int current)
{
    AddItemDialog dialog(owner, question, nameLabel, items, current);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Answer();
}

}  // namespace quillbox
