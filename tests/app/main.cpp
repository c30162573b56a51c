// Runs the window's test suites; a first argument that names a suite runs only that one.
#include "BadInputWindowTest.h"
#include "EditMenuTest.h"
#include "EffectPanelTest.h"
#include "FieldRulesTest.h"
#include "FileDialogTest.h"
#include "ItemDisplayTest.h"
#include "ItemEditTest.h"
#include "LayoutTest.h"
#include "NoLossTest.h"
#include "OpenRomTest.h"
#include "RecordFormTest.h"
#include "ShellTest.h"
#include "TableDetectionTest.h"
#include "SpaceWindowTest.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

int main(int argc, char* argv[])
{
    // A home and config folder of its own: a user's profile or kept tables never change an
    // outcome, and no test writes into them.
    QTemporaryDir home;
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toLocal8Bit());
    QApplication application(argc, argv);
    std::vector<std::unique_ptr<QObject>> suites;
    suites.push_back(std::make_unique<quillbox::test::FieldRulesTest>());
    suites.push_back(std::make_unique<quillbox::test::FileDialogTest>());
    suites.push_back(std::make_unique<quillbox::test::LayoutTest>());
    suites.push_back(std::make_unique<quillbox::test::ShellTest>());
    suites.push_back(std::make_unique<quillbox::test::OpenRomTest>());
    suites.push_back(std::make_unique<quillbox::test::ItemDisplayTest>());
    suites.push_back(std::make_unique<quillbox::test::ItemEditTest>());
    suites.push_back(std::make_unique<quillbox::test::NoLossTest>());
    suites.push_back(std::make_unique<quillbox::test::BadInputWindowTest>());
    suites.push_back(std::make_unique<quillbox::test::EditMenuTest>());
    suites.push_back(std::make_unique<quillbox::test::TableDetectionTest>());
    suites.push_back(std::make_unique<quillbox::test::SpaceWindowTest>());
    suites.push_back(std::make_unique<quillbox::test::RecordFormTest>());
    suites.push_back(std::make_unique<quillbox::test::EffectPanelTest>());

    QStringList arguments = application.arguments();
    QString only;
    if (arguments.size() > 1 && !arguments[1].startsWith(u'-')) {
        only = arguments.takeAt(1);
    }
    int failed = 0;
    bool ranAny = false;
    for (const auto& suite : suites) {
        if (only.isEmpty() || only == QString::fromLatin1(suite->metaObject()->className()).section(u':', -1)) {
            ranAny = true;
            failed += QTest::qExec(suite.get(), arguments);
        }
    }
    if (!ranAny) {
        qCritical("No test suite is named %s", qPrintable(only));
        return 1;
    }
    return failed;
}
