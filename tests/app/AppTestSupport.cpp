#include "AppTestSupport.h"

#include "text/GameText.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>

#include <fstream>
#include <stdexcept>

namespace quillbox::test {

SampleRom::SampleRom(std::string_view headerCode, const QString& fileName)
{
    if (!folder_.isValid()) {
        throw std::runtime_error("no temporary folder");
    }
    path_ = std::filesystem::path(folder_.filePath(fileName).toStdU16String());
    auto tables = SampleTablesFor(headerCode);
    if (!tables) {
        throw std::runtime_error(tables.error().message);
    }
    tables_ = *tables;
    if (Status written = WriteSampleRom(path_, headerCode); !written) {
        throw std::runtime_error(written.error().message);
    }
}

QString SampleRom::PathText() const { return QString::fromStdU16String(path_.u16string()); }

Bytes SampleRom::All() const { return Read(0, static_cast<std::int64_t>(std::filesystem::file_size(path_))); }

Bytes SampleRom::Read(std::int64_t offset, std::int64_t count) const
{
    std::ifstream in(path_, std::ios::binary);
    in.seekg(offset);
    Bytes bytes(static_cast<std::size_t>(count));
    in.read(reinterpret_cast<char*>(bytes.data()), count);
    if (in.gcount() != count) {
        throw std::runtime_error("read past the end of the sample");
    }
    return bytes;
}

void SampleRom::Write(std::int64_t offset, const Bytes& bytes)
{
    std::fstream out(path_, std::ios::binary | std::ios::in | std::ios::out);
    out.seekp(offset);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("could not patch the sample");
    }
}

void SampleRom::Resize(std::int64_t size) { std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(size)); }

std::uint16_t Le16(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::vector<std::int64_t> DifferingOffsets(const Bytes& before, const Bytes& after)
{
    std::vector<std::int64_t> offsets;
    const std::size_t common = std::min(before.size(), after.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (before[i] != after[i]) {
            offsets.push_back(static_cast<std::int64_t>(i));
        }
    }
    for (std::size_t i = common; i < std::max(before.size(), after.size()); ++i) {
        offsets.push_back(static_cast<std::int64_t>(i));
    }
    return offsets;
}

Bytes Encoded(std::u32string_view text) { return EncodeGameText(text); }

std::optional<Bytes> Snapshot(const std::filesystem::path& path)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    Bytes bytes(static_cast<std::size_t>(std::filesystem::file_size(path)));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) {
        throw std::runtime_error("could not read " + path.string());
    }
    return bytes;
}

WindowHarness::WindowHarness(std::optional<std::filesystem::path> profile)
    : window_(profile ? std::make_unique<Form1>(*profile) : std::make_unique<Form1>())
{
    window_->SetMessageHandler([this](const QString& title, const QString& text) {
        messages.push_back({title, text});
    });
    window_->SetOpenFileChooser([this](QWidget*) {
        ++openRequests;
        return openAnswer;
    });
    // A question is recorded with the messages and answered with `questionAnswer`.
    window_->SetQuestionHandler([this](const QString& title, const QString& text, QMessageBox::StandardButtons) {
        messages.push_back({title, text});
        return questionAnswer;
    });
    window_->SetImageFileChooser([this](QWidget*, bool) { return imageFileAnswer; });
    window_->SetItemChooser([this](QWidget*, const QString&, const QStringList& items, int) {
        offeredItems = items;
        return itemAnswer;
    });
    window_->SetFileViewer([this](const QUrl& file) {
        viewedFiles.push_back(file);
        return viewerSucceeds;
    });
    window_->show();
    if (!QTest::qWaitForWindowExposed(window_.get())) {
        throw std::runtime_error("the window was never shown");
    }
}

WindowHarness::~WindowHarness() = default;

QWidget* WindowHarness::Widget(const QString& name) const { return Find<QWidget>(name); }

QAction* WindowHarness::Action(const QString& name) const { return Find<QAction>(name); }

void WindowHarness::Open(const QString& path)
{
    openAnswer = path;
    Button(QStringLiteral("Command1"))->click();
}

void WindowHarness::Select(int position) { Items()->setCurrentRow(position); }

void WindowHarness::Retype(QLineEdit* field, const QString& text)
{
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, text);
}

QString WindowHarness::MessageLog() const
{
    QStringList lines;
    for (const Message& message : messages) {
        lines.append(message.title + QStringLiteral(": ") + message.text);
    }
    return lines.join(QStringLiteral(" | "));
}

int WindowHarness::CountMessages(const QString& text) const
{
    return static_cast<int>(
        std::count_if(messages.begin(), messages.end(), [&](const Message& message) { return message.text == text; }));
}

QStringList ShownItem(const WindowHarness& harness)
{
    QStringList shown;
    for (const char* name : {"iname", "index", "price", "FUCP", "BUCP", "Text3", "Text1", "Text2", "IMGOFF", "PALOFF"}) {
        shown.append(harness.Line(QString::fromLatin1(name))->text());
    }
    for (const char* name : {"sp1", "sp2", "pock", "Mys1", "Mys2", "Bu", "cboattack"}) {
        shown.append(QString::number(harness.Combo(QString::fromLatin1(name))->currentIndex()));
    }
    shown.append(harness.Description()->toPlainText());
    return shown;
}

ModalAnswer::ModalAnswer(std::function<void(QWidget* modal)> answer) : answer_(std::move(answer))
{
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || answered_) {
            return;
        }
        answered_ = true;
        timer_.stop();
        answer_(modal);
        // An answer that did not close the modal would leave the test waiting for ever.
        QPointer<QWidget> left(modal);
        QTimer::singleShot(5000, &watchdog_, [left] {
            if (left != nullptr && left->isVisible()) {
                qWarning("A modal window stayed open after the test answered it; closing it");
                if (auto* dialog = qobject_cast<QDialog*>(left.data())) {
                    dialog->reject();
                } else {
                    left->close();
                }
            }
        });
    });
    timer_.start();
}

ModalAnswer::~ModalAnswer() { timer_.stop(); }

void ChooseFile(QFileDialog* dialog, const QString& path)
{
    // The dialog leaves a file name box that has the focus alone when a file is selected.
    if (QWidget* focused = dialog->focusWidget()) {
        focused->clearFocus();
    }
    dialog->selectFile(path);
    static_cast<QDialog*>(dialog)->accept();
}

FailingWrites::FailingWrites() { InstallWriteFaultInjector(this); }

FailingWrites::~FailingWrites() { InstallWriteFaultInjector(nullptr); }

bool FailingWrites::AllowWrite(const std::filesystem::path&, std::int64_t, std::size_t)
{
    ++attempts;
    return false;
}

}  // namespace quillbox::test
