#include "app/TableDetectionPrompt.h"

#include "app/QtText.h"

#include <QMessageBox>
#include <QString>

namespace quillbox {

bool AskFoundTables(QWidget* owner, const SessionQuestion& question)
{
    QMessageBox box(QMessageBox::Question, Utf8ToQString(question.title), Utf8ToQString(question.text),
                    QMessageBox::Yes | QMessageBox::No, owner);
    box.setObjectName(Utf8ToQString(question.id));
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace quillbox
