#include "cli/CliCommands.h"
#include "items/ItemOperations.h"
#include "rom/Profile.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdio>

namespace quillbox {
namespace {

using test::ReadFile;
using test::TempDir;

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

QString Q(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

CliRun RunWith(const QStringList& arguments)
{
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.status = RunCli(arguments, out, err, ProgramFolder());
    out.flush();
    err.flush();
    return run;
}

class CliTest : public ::testing::TestWithParam<std::string> {
protected:
    TempDir dir;
};

TEST_P(CliTest, InfoListAndMovesDescribeTheRom)
{
    const auto rom = test::WriteSample(dir, GetParam());
    const auto opened = OpenRom(rom, test::ShippedProfile());
    ASSERT_TRUE(opened);

    const CliRun info = RunWith({QStringLiteral("info"), Q(rom)});
    ASSERT_EQ(info.status, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains(QStringLiteral("headerCode: ") + QString::fromStdString(GetParam())));
    EXPECT_TRUE(info.out.contains(QStringLiteral("items: %1\n").arg(opened->family->itemCount)));

    const CliRun list = RunWith({QStringLiteral("list"), Q(rom)});
    ASSERT_EQ(list.status, 0);
    const QStringList lines = list.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), opened->family->itemCount);
    for (int i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i], QString::number(i) + u'\t' + QString::fromStdU32String(opened->itemNames[static_cast<std::size_t>(i)]));
    }

    const CliRun moves = RunWith({QStringLiteral("moves"), Q(rom)});
    const QStringList moveLines = moves.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(moveLines.size(), 354);
    EXPECT_TRUE(moveLines.front().startsWith(QStringLiteral("1\t")));
    EXPECT_TRUE(moveLines.back().startsWith(QStringLiteral("354\t")));
}

TEST_P(CliTest, ShowJsonMatchesWhatTheCoreReads)
{
    const auto rom = test::WriteSample(dir, GetParam());
    const auto opened = OpenRom(rom, test::ShippedProfile());
    ASSERT_TRUE(opened);
    for (int position : {0, 3, 290, 346, 347}) {
        const auto item = ReadItem(opened->state, position);
        ASSERT_TRUE(item);
        const CliRun show = RunWith({QStringLiteral("show"), Q(rom), QString::number(position), QStringLiteral("--json")});
        ASSERT_EQ(show.status, 0) << show.err.toStdString();
        const QJsonObject json = QJsonDocument::fromJson(show.out.toUtf8()).object();
        EXPECT_EQ(json[QStringLiteral("price")].toInt(), item->price);
        EXPECT_EQ(json[QStringLiteral("name")].toString().toStdU32String(), item->name);
        EXPECT_EQ(json[QStringLiteral("descriptionOffset")].toString().toStdString(), item->descriptionOffsetText);
        EXPECT_FALSE(json[QStringLiteral("description")].toString().contains(u'\r'));
        EXPECT_EQ(json[QStringLiteral("descriptionRoom")].toInt(), item->descriptionRoom);
        EXPECT_EQ(json[QStringLiteral("tmMove")].isNull(), position < 289 || position > 346);
        EXPECT_EQ(json[QStringLiteral("imageOffset")].isNull(), !opened->family->hasImages);
        EXPECT_FALSE(json[QStringLiteral("pocketName")].isNull());
    }
}

INSTANTIATE_TEST_SUITE_P(EveryGame, CliTest, ::testing::Values("BPRE", "BPGE", "BPEE", "AXVE", "AXPE"));

TEST(CliExport, JsonAndCsvHoldEveryItemInOrder)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPEE");
    const auto jsonFile = dir / "items.json";
    const auto csvFile = dir / "items.csv";
    ASSERT_EQ(RunWith({QStringLiteral("export"), Q(rom), QStringLiteral("-o"), Q(jsonFile)}).status, 0);
    ASSERT_EQ(RunWith({QStringLiteral("--format"), QStringLiteral("csv"), QStringLiteral("export"), Q(rom),
                       QStringLiteral("--output"), Q(csvFile)})
                  .status,
              0);
    QFile json(Q(jsonFile));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    const QJsonArray items = QJsonDocument::fromJson(json.readAll()).array();
    ASSERT_EQ(items.size(), 377);
    for (int i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].toObject()[QStringLiteral("position")].toInt(), i);

    QFile csv(Q(csvFile));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csv.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("position,name,index,price,")));
    // Descriptions hold line breaks, so rows are told apart by the quoted fields, not by lines.
    EXPECT_TRUE(text.contains(QStringLiteral("\"A ????????")) || text.contains(QStringLiteral("\n0,")));
    EXPECT_TRUE(text.contains(QStringLiteral("\n376,")));
}

TEST(CliIcon, WritesTheIconScaledAndRefusesGamesWithoutIcons)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const auto png = dir / "icon.png";
    const CliRun run = RunWith({QStringLiteral("icon"), Q(rom), QStringLiteral("7"), QStringLiteral("-o"), Q(png), QStringLiteral("--scale"), QStringLiteral("3")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage image(Q(png));
    ASSERT_EQ(image.size(), QSize(72, 72));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(image.pixel(36, 36)), 255);

    const auto ruby = test::WriteSample(dir, "AXVE", "ruby.gba");
    const CliRun refused = RunWith({QStringLiteral("icon"), Q(ruby), QStringLiteral("7"), QStringLiteral("-o"), Q(dir / "r.png")});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.contains(QStringLiteral("no item images")));
}

TEST(CliSet, WritesOnlyTheNamedFields)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const auto opened = OpenRom(rom, test::ShippedProfile());
    ASSERT_TRUE(opened);
    const Bytes before = ReadFile(rom);
    const CliRun run = RunWith({QStringLiteral("set"), Q(rom), QStringLiteral("10"), QStringLiteral("price=40000"),
                             QStringLiteral("pocket=2"), QStringLiteral("fieldUsageCodePointer=A1B2C")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const std::size_t entry = static_cast<std::size_t>(opened->state.itemTableOffset) + 44 * 10;
    const std::vector<std::size_t> expected{entry + 16, entry + 17, entry + 26, entry + 28, entry + 29, entry + 30};
    const Bytes after = ReadFile(rom);
    auto changed = test::DifferingOffsets(before, after);
    // Only bytes whose value really changed show up; each of them must be one the command named.
    for (std::size_t offset : changed) {
        EXPECT_NE(std::find(expected.begin(), expected.end(), offset), expected.end()) << offset;
    }
    EXPECT_EQ(after[entry + 16], 0x40);
    EXPECT_EQ(after[entry + 17], 0x9C);
    EXPECT_EQ(after[entry + 26], 2);
    EXPECT_EQ(after[entry + 28], 0x2C);
    EXPECT_EQ(after[entry + 29], 0x1B);
    EXPECT_EQ(after[entry + 30], 0x0A);
    EXPECT_EQ(after[entry + 31], before[entry + 31]);
}

TEST(CliSet, RepointsTheDescriptionAndWritesTheNewTextThere)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "AXPE");
    const CliRun run = RunWith({QStringLiteral("set"), Q(rom), QStringLiteral("4"), QStringLiteral("descriptionOffset=A00000"),
                             QStringLiteral("description=Two\nlines")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const Bytes after = ReadFile(rom);
    const Bytes expected{0xCE, 0xEB, 0xE3, 0xFE, 0xE0, 0xDD, 0xE2, 0xD9, 0xE7, 0xFF};
    EXPECT_EQ(Bytes(after.begin() + 0xA00000, after.begin() + 0xA00000 + 10), expected);
    const CliRun show = RunWith({QStringLiteral("show"), Q(rom), QStringLiteral("4"), QStringLiteral("--json")});
    const QJsonObject json = QJsonDocument::fromJson(show.out.toUtf8()).object();
    EXPECT_EQ(json[QStringLiteral("description")].toString(), QStringLiteral("Two\nlines"));
    EXPECT_EQ(json[QStringLiteral("descriptionOffset")].toString(), QStringLiteral("A00000"));
}

struct BadCommand {
    const char* name;
    QStringList arguments;  // "ROM" stands for the sample ROM's path
    int status;
    const char* fragment;
};

class CliBadInput : public ::testing::TestWithParam<BadCommand> {};

TEST_P(CliBadInput, FailsWithAClearLineAndLeavesTheRomAlone)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPRE");
    const Bytes before = ReadFile(rom);
    QStringList arguments = GetParam().arguments;
    arguments.replaceInStrings(QStringLiteral("ROM"), Q(rom));
    arguments.replaceInStrings(QStringLiteral("DIR"), Q(dir.Path()));
    const CliRun run = RunWith(arguments);
    EXPECT_EQ(run.status, GetParam().status);
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(GetParam().fragment))) << run.err.toStdString();
    EXPECT_EQ(ReadFile(rom), before);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CliBadInput,
    ::testing::Values(
        BadCommand{"NoCommand", {}, 2, "Usage"},
        BadCommand{"UnknownCommand", {QStringLiteral("frobnicate"), QStringLiteral("ROM")}, 2, "unknown command"},
        BadCommand{"UnknownOption", {QStringLiteral("info"), QStringLiteral("ROM"), QStringLiteral("--nope")}, 2, "nope"},
        BadCommand{"UnknownKey", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("colour=3")}, 2, "KEY=VALUE"},
        BadCommand{"PositionOutOfRange", {QStringLiteral("show"), QStringLiteral("ROM"), QStringLiteral("375")}, 1, "no item at position"},
        BadCommand{"NameTooLong", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("name=ABCDEFGHIJKLMN")}, 1, "14-byte"},
        BadCommand{"DescriptionTooLong", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("description=") + QString(300, u'x')}, 1, "more than"},
        BadCommand{"PriceTooLarge", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("price=65536")}, 1, "0 to 65535"},
        BadCommand{"PocketPastList", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("pocket=6")}, 1, "0 to 5"},
        BadCommand{"NonHexPointer", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("price=5"), QStringLiteral("battleUsageCodePointer=12G")}, 1, "hexadecimal"},
        BadCommand{"DescriptionRepointPastEnd", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("price=5"), QStringLiteral("descriptionOffset=1000000")}, 1, "past the end"},
        BadCommand{"ImageRepointPastEnd", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("price=5"), QStringLiteral("imageOffset=FFFFFF"), QStringLiteral("paletteOffset=1000000")}, 1, "at most 6"},
        BadCommand{"TmMoveOnOrdinaryItem", {QStringLiteral("set"), QStringLiteral("ROM"), QStringLiteral("1"), QStringLiteral("price=5"), QStringLiteral("tmMove=3")}, 1, "289 to 346"},
        BadCommand{"FolderAsRom", {QStringLiteral("info"), QStringLiteral("DIR")}, 1, "folder"},
        BadCommand{"MissingProfile", {QStringLiteral("--profile"), QStringLiteral("DIR/none.ini"), QStringLiteral("list"), QStringLiteral("ROM")}, 1, "Unsupported ROM or no ROM opened!"},
        BadCommand{"UnknownSampleGame", {QStringLiteral("sample-rom"), QStringLiteral("DIR/x.gba"), QStringLiteral("--game"), QStringLiteral("ZZZZ")}, 1, "no sample"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CliProgram, TheBuiltToolExitsWithTheDocumentedStatus)
{
    TempDir dir;
    const auto tool = ProgramFolder() / "quillbox-cli";
    const auto rom = dir / "made by the tool.gba";
    const std::string make = "\"" + tool.string() + "\" sample-rom \"" + rom.string() + "\" --game AXVE";
    EXPECT_EQ(std::system(make.c_str()), 0);
    EXPECT_EQ(std::filesystem::file_size(rom), 16u * 1024 * 1024);
    const std::string bad = "\"" + tool.string() + "\" show \"" + rom.string() + "\" 999 2>/dev/null";
    const int status = std::system(bad.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
}

}  // namespace
}  // namespace quillbox
