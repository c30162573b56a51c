// "Add Item…": asks which item to copy and the new item's name, and shows the new item.
#include "app/MainWindow.h"

#include "app/QtText.h"
#include "editor/UserTexts.h"

namespace quillbox {

void Form1::SetAddItemAsker(AddItemAsker asker) { addItemAsker_ = std::move(asker); }

void Form1::mnuEditAddItem_Click()
{
    if (!session_.IsOpen()) return;
    QStringList items;
    for (const std::string& entry : session_.UseLikeChoices()) items.append(Utf8ToQString(entry));
    const QString question = Utf8ToQString(session_.AddItemQuestion());
    const int current = std::max(session_.ShownPosition(), 0);
    const std::optional<AddItemAnswer> answer =
        addItemAsker_ ? addItemAsker_(this, question, items, current)
                      : AddItemDialog::Ask(this, question, Utf8ToQString(kAddItemNameLabel), items, current);
    if (!answer || answer->model < 0 || answer->model >= items.size()) return;
    ShowWritten(session_.AddItem(answer->model, answer->name.toStdString()));
}

}  // namespace quillbox
