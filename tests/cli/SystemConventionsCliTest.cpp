#include "CliRun.h"

#include "base/PathText.h"
#include "support/TestFiles.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <ostream>
#include <sstream>
#include <streambuf>

// What the tool does as the system it runs on expects: the line ends of the CSV it writes, the
// folder of the user's own profile.
namespace quillbox {
namespace {

using test::CliRun;
using test::RunTool;
using test::TempDir;
using test::Q;

std::string ReadText(const std::filesystem::path& path)
{
    const Bytes bytes = test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// The line breaks of a CSV text: those that end records, and those inside quoted fields.
struct LineBreaks {
    std::vector<std::string> recordEnds;
    std::vector<std::string> insideFields;
};

LineBreaks LineBreaksOf(const std::string& text)
{
    LineBreaks breaks;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        const bool crlf = text.compare(i, 2, "\r\n") == 0;
        if (!crlf && text[i] != '\n') continue;
        (quoted ? breaks.insideFields : breaks.recordEnds).push_back(crlf ? "\r\n" : "\n");
        if (crlf) ++i;
    }
    return breaks;
}

// Every record end of the text made `end`; line breaks inside fields stay as they are.
std::string WithRecordEnds(const std::string& text, const std::string& end)
{
    std::string result;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (!quoted && text.compare(i, 2, "\r\n") == 0) {
            result += end;
            ++i;
        } else if (!quoted && text[i] == '\n') {
            result += end;
        } else {
            result += text[i];
        }
    }
    return result;
}

TEST(CliLineEnds, CsvRecordsEndAsTheSystemExpectsAndEitherEndImports)
{
    TempDir dir;
    const auto rom = test::WriteSample(dir, "BPEE");
    const CliRun set = RunTool({"set", Q(rom), "3", "descriptionOffset=A00000", "description=Two\nlines"});
    ASSERT_EQ(set.status, 0) << set.err;
    const auto csv = dir / "items.csv";
    ASSERT_EQ(RunTool({"export", Q(rom), "--format", "csv", "-o", Q(csv)}).status, 0);
    const std::string text = ReadText(csv);

    const LineBreaks breaks = LineBreaksOf(text);
    EXPECT_EQ(breaks.recordEnds, std::vector<std::string>(378, std::string(test::SpreadsheetRecordEnd())));
    EXPECT_FALSE(breaks.insideFields.empty());
    EXPECT_EQ(breaks.insideFields, std::vector<std::string>(breaks.insideFields.size(), "\n"));
    EXPECT_TRUE(text.contains(",\"Two\nlines\",")) << text.substr(0, 2000);
    const CliRun toOutput = RunTool({"export", Q(rom), "--format", "csv"});
    EXPECT_EQ(toOutput.out, text);

    for (const std::string end : {"\n", "\r\n"}) {
        SCOPED_TRACE(end == "\n" ? "records ending in a line feed" : "records ending in a carriage return and a line feed");
        const auto file = test::WriteTextFile(dir / "again.csv", WithRecordEnds(text, end));
        const CliRun imported = RunTool({"import", Q(rom), Q(file)});
        EXPECT_EQ(imported.status, 0) << imported.err;
        EXPECT_EQ(imported.out, "Nothing to change\n");
    }
}

// The user's own profile lies in the system's settings folder, also under a user name outside
// ASCII, and its section wins over the shipped one of the same name.
TEST(CliUserProfile, IsReadFromTheSystemsSettingsFolderOverTheShippedOne)
{
    for (const std::string user : {"J\u00FCrgen M\u00FCller", "\u7530\u4E2D \u592A\u90CE"}) {
        SCOPED_TRACE(user);
        TempDir dir;
        const auto settings = dir.Path() / PathFromText(user) / "AppData";
        const test::ScopedUserSettingsFolder folder(settings);
        const auto hack = dir / "hack.gba";
        ASSERT_EQ(RunTool({"sample-rom", Q(hack), "--hack"}).status, 0);
        const CliRun shipped = RunTool({"info", Q(hack)});
        EXPECT_FALSE(shipped.out.contains("items: 400\n")) << shipped.out;

        const CliRun found = RunTool({"detect", Q(hack)});
        ASSERT_EQ(found.status, 0) << found.err;
        const auto profile = settings / "quillbox" / "roms.ini";
        test::WriteTextFile(profile, found.out);
        const CliRun info = RunTool({"info", Q(hack)});
        ASSERT_EQ(info.status, 0) << info.err;
        EXPECT_TRUE(info.out.contains("items: 400\n")) << info.out;
        EXPECT_TRUE(info.out.contains("offsets from: section [BPRE] of the user profile " + Q(profile) + "\n")) << info.out;
    }
}

// Output lost to a full disk must not read as success to the script that asked for it.
TEST(CliOutput, LostOutputIsAFailure)
{
    struct FullDisk : std::streambuf {
        int overflow(int) override { return traits_type::eof(); }
        std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
    };
    TempDir dir;
    const auto rom = dir / "sample.gba";
    ASSERT_EQ(RunTool({"sample-rom", Q(rom)}).status, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list", Q(rom)},
                                                 {"export", Q(rom), "--format", "csv"},
                                                 {"show", Q(rom), "3", "--json"}}) {
        SCOPED_TRACE(args.front());
        FullDisk full;
        std::ostream out(&full);
        std::ostringstream err;
        EXPECT_EQ(RunCli(args, out, err, ProgramFolder()), 4);
        // show's --json asks for failures as JSON too.
        const bool json = args.back() == "--json";
        EXPECT_EQ(err.str(), json ? "{\"error\": {\"code\": \"FileWrite\", \"number\": 3, \"message\": \"the output could not be "
                                    "written in full\", \"field\": null, \"offset\": null, \"found\": null, \"fileUnchanged\": true}}\n"
                                  : "quillbox-cli: the output could not be written in full\n");
    }
}

}  // namespace
}  // namespace quillbox
