#include "app/MainWindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    quillbox::Form1 window;
    window.show();
    return application.exec();
}
