#pragma once

#include <QDialog>

namespace quillbox {

// Names the program, its version and the people it credits; shown modally over the main window.
class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* owner);

public slots:
    void cmdOK_Click();
};

}  // namespace quillbox
