#pragma once

#include "editor/ItemForm.h"

#include <QGroupBox>

#include <map>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace quillbox {

// "What the game does with it": a row for each coded byte and routine of the item record, with
// what the shown value means. The fields the window has no control for elsewhere (the type and
// the secondary id) get their list here, the routines a "Use like…" button.
class RecordPanel : public QGroupBox {
    Q_OBJECT
public:
    // `others` holds the window's other controls, found by their names.
    RecordPanel(QWidget* parent, const QWidget* others, const QRect& geometry);

    using Form = std::map<std::string, FormValue, std::less<>>;
    // The words, labels and help of the rows' fields; an empty form clears the words.
    void Show(const Form& form);
    // The lists and buttons the user works, in their rows' order.
    const std::vector<QWidget*>& Controls() const { return controls_; }

signals:
    void useLikeClicked();

private:
    struct Row {
        const FormControl* control = nullptr;
        QLabel* name = nullptr;
        QLabel* words = nullptr;
    };
    std::vector<Row> rows_;
    std::vector<QWidget*> controls_;
};

}  // namespace quillbox
