#pragma once

#include "app/MainWindow.h"
#include "rom/RomFile.h"
#include "sample/SampleRom.h"

#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillbox::test {

// A sample ROM of one header code, written into a temporary folder of its own.
class SampleRom {
public:
    explicit SampleRom(std::string_view headerCode, const QString& fileName = QStringLiteral("sample.gba"));

    const std::filesystem::path& Path() const { return path_; }
    QString PathText() const;
    QString Folder() const { return folder_.path(); }
    const SampleTables& Tables() const { return tables_; }
    std::int64_t Entry(int position) const { return tables_.itemData + 44 * std::int64_t{position}; }

    Bytes All() const;
    Bytes Read(std::int64_t offset, std::int64_t count) const;
    void Write(std::int64_t offset, const Bytes& bytes);
    void Resize(std::int64_t size);

private:
    QTemporaryDir folder_;
    std::filesystem::path path_;
    SampleTables tables_;
};

std::uint16_t Le16(const Bytes& bytes, std::size_t at);
// The offsets at which two files' bytes differ (a length change counts from the shorter end).
std::vector<std::int64_t> DifferingOffsets(const Bytes& before, const Bytes& after);
// The bytes a text encodes to in the games' character set (no terminator added).
Bytes Encoded(std::u32string_view text);

// The bytes of a file, or nothing when no file stands at the path.
std::optional<Bytes> Snapshot(const std::filesystem::path& path);

struct Message {
    QString title;
    QString text;
};

// The main window, shown, with its message boxes, Open dialog and read-me viewer replaced by
// recorders that a test reads and answers.
class WindowHarness {
public:
    // The default profile is the one shipped beside the test program.
    explicit WindowHarness(std::optional<std::filesystem::path> profile = std::nullopt);
    ~WindowHarness();

    Form1& Window() { return *window_; }

    QWidget* Widget(const QString& name) const;
    QLineEdit* Line(const QString& name) const { return Find<QLineEdit>(name); }
    QComboBox* Combo(const QString& name) const { return Find<QComboBox>(name); }
    QPushButton* Button(const QString& name) const { return Find<QPushButton>(name); }
    QAction* Action(const QString& name) const;
    QListWidget* Items() const { return Find<QListWidget>(QStringLiteral("cboitem")); }
    QPlainTextEdit* Description() const { return Find<QPlainTextEdit>(QStringLiteral("descp")); }

    // Clicks "Open" and answers the Open dialog with `path` (an empty path cancels it).
    void Open(const QString& path);
    void Open(const SampleRom& rom) { Open(rom.PathText()); }
    void Select(int position);
    // Replaces a field's text the way a user would: select all, delete, type.
    void Retype(QLineEdit* field, const QString& text);

    std::vector<Message> messages;
    int openRequests = 0;
    QString openAnswer;
    std::vector<QUrl> viewedFiles;
    QMessageBox::StandardButton questionAnswer = QMessageBox::No;
    QString imageFileAnswer;
    bool viewerSucceeds = true;
    // The item "Use like…" is answered with, -1 to cancel; and the items it was offered.
    int itemAnswer = -1;
    QStringList offeredItems;

    // The texts of all messages, for failure output.
    QString MessageLog() const;
    int CountMessages(const QString& text) const;

    template <typename Widget> Widget* Find(const QString& name) const
    {
        auto* widget = window_->findChild<Widget*>(name);
        if (widget == nullptr) {
            throw std::runtime_error("no control named " + name.toStdString());
        }
        return widget;
    }

private:
    std::unique_ptr<Form1> window_;
};

// Everything the window shows of the selected item, as texts and list positions.
QStringList ShownItem(const WindowHarness& harness);

// Answers the next modal widget (dialog or message box) that appears while the caller waits in
// a modal loop. Stops looking when destroyed.
class ModalAnswer {
public:
    explicit ModalAnswer(std::function<void(QWidget* modal)> answer);
    ~ModalAnswer();
    bool Answered() const { return answered_; }

private:
    QTimer timer_;
    QObject watchdog_;
    std::function<void(QWidget*)> answer_;
    bool answered_ = false;
};

// Answers a file dialog with a path, as if typed into its file name box, and confirms it.
void ChooseFile(QFileDialog* dialog, const QString& path);

// Fails every write of the ROM file while it exists.
class FailingWrites : public WriteFaultInjector {
public:
    FailingWrites();
    ~FailingWrites() override;
    bool AllowWrite(const std::filesystem::path& path, std::int64_t offset, std::size_t count) override;
    int attempts = 0;
};

}  // namespace quillbox::test
