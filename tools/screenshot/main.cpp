// Opens a ROM in the real window, selects an item and saves a picture of the window as it is
// drawn on the screen. The README's screenshot is made with it (scripts/screenshot.sh).
#include "app/MainWindow.h"

#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: quillbox-screenshot ROM ITEM OUTPUT.png\n");
        return 2;
    }
    const QString rom = arguments[1];
    const int item = arguments[2].toInt();
    const QString output = arguments[3];

    quillbox::Form1 window;
    window.SetOpenFileChooser([rom](QWidget*) { return rom; });
    window.move(0, 0);
    window.show();
    window.Command1_Click();
    auto* list = window.findChild<QListWidget*>(QStringLiteral("cboitem"));
    if (list == nullptr || list->count() <= item) {
        std::fprintf(stderr, "quillbox-screenshot: the ROM did not open\n");
        return 1;
    }
    list->setCurrentRow(item);
    list->scrollToItem(list->currentItem());

    int status = 1;
    // Let the window reach the screen before it is photographed.
    QTimer::singleShot(1500, &window, [&] {
        const QRect frame = window.frameGeometry();
        const QPixmap shot = window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
        status = shot.save(output, "PNG") ? 0 : 1;
        application.quit();
    });
    application.exec();
    return status;
}
