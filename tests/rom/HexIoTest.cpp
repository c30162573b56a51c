#include "rom/HexIo.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace quillbox {
namespace {

using test::DifferingOffsets;
using test::OpenOrThrow;
using test::ReadFile;
using test::ReportLog;
using test::TempDir;
using test::WriteFile;

constexpr std::int64_t kRomSize = 0x200;

Bytes Counting(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<Byte>((i * 7 + 3) & 0xFF);
    return bytes;
}

enum class Target { Rom, EmptyPath, MissingFile, Folder };

class HexIoFile : public testing::Test {
protected:
    HexIoFile() : original_(Counting(kRomSize)), rom_(WriteFile(dir_ / "rom.gba", original_))
    {
        std::filesystem::create_directories(dir_ / "folder.gba");
    }

    std::filesystem::path PathOf(Target target) const
    {
        switch (target) {
        case Target::Rom: return rom_;
        case Target::EmptyPath: return {};
        case Target::MissingFile: return dir_ / "missing.gba";
        case Target::Folder: return dir_ / "folder.gba";
        }
        return {};
    }

    void ExpectRomUnchanged() const
    {
        EXPECT_EQ(ReadFile(rom_), original_);
        EXPECT_FALSE(std::filesystem::exists(dir_ / "missing.gba")) << "a failed call created the file";
    }

    // The one report a failing call makes: the right number and a one-line description.
    static void ExpectOneReport(const ReportLog& log, ErrorCode code)
    {
        ASSERT_EQ(log.errors.size(), 1u);
        const Error& error = log.errors.front();
        EXPECT_EQ(error.Number(), static_cast<int>(code)) << error.message;
        EXPECT_FALSE(error.message.empty());
        EXPECT_EQ(error.message.find('\n'), std::string::npos) << error.message;
    }

    TempDir dir_;
    Bytes original_;
    std::filesystem::path rom_;
};

TEST_F(HexIoFile, ReadHexGivesFileOrderUpperCaseTwoDigitsEach)
{
    WriteFile(rom_, [&] {
        Bytes bytes = original_;
        bytes[0x100] = 0x10;
        bytes[0x101] = 0x4A;
        bytes[0x102] = 0x3D;
        bytes[0x103] = 0x05;
        bytes[0x104] = 0xAB;
        return bytes;
    }());
    ReportLog log;
    EXPECT_EQ(ReadHex(rom_, 0x100, 3, log.Reporter()), "104A3D");
    EXPECT_EQ(ReadHex(rom_, 0x103, 1, log.Reporter()), "05");
    EXPECT_EQ(ReadHex(rom_, 0x104, 1, log.Reporter()), "AB");
    EXPECT_EQ(ReadHex(rom_, 0x100, 4, log.Reporter()), "104A3D05");
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(HexIoFile, ReadHexOfEveryByteValue)
{
    Bytes all(256);
    std::string expected;
    for (int value = 0; value < 256; ++value) {
        all[static_cast<std::size_t>(value)] = static_cast<Byte>(value);
        expected.push_back("0123456789ABCDEF"[value >> 4]);
        expected.push_back("0123456789ABCDEF"[value & 15]);
    }
    const auto path = WriteFile(dir_ / "all.gba", all);
    ReportLog log;
    EXPECT_EQ(ReadHex(path, 0, 256, log.Reporter()), expected);
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(HexIoFile, ReadHexOfNoBytesIsEmptyAndReportsNothing)
{
    ReportLog log;
    EXPECT_EQ(ReadHex(rom_, 0x10, 0, log.Reporter()), "");
    EXPECT_EQ(ReadHex(rom_, 0x10, -3, log.Reporter()), "");
    EXPECT_EQ(ReadHex(rom_, kRomSize, 0, log.Reporter()), "");
    EXPECT_TRUE(log.errors.empty());
    ExpectRomUnchanged();
}

TEST_F(HexIoFile, ReadHexUpToTheLastByte)
{
    ReportLog log;
    const std::string text = ReadHex(rom_, kRomSize - 2, 2, log.Reporter());
    EXPECT_EQ(text, BytesToHex(std::span(original_).subspan(kRomSize - 2)));
    EXPECT_TRUE(log.errors.empty());
}

struct ReadFailure {
    const char* name;
    Target target;
    std::int64_t offset;
    std::int64_t count;
    ErrorCode code;
};

void PrintTo(const ReadFailure& row, std::ostream* out) { *out << row.name; }

class ReadHexFailure : public HexIoFile, public testing::WithParamInterface<ReadFailure> {};

TEST_P(ReadHexFailure, ReportsOnceAndGivesEmptyText)
{
    const ReadFailure& row = GetParam();
    ReportLog log;
    EXPECT_EQ(ReadHex(PathOf(row.target), row.offset, row.count, log.Reporter()), "");
    ExpectOneReport(log, row.code);
    ExpectRomUnchanged();
}

TEST_P(ReadHexFailure, WithoutReporterStillGivesEmptyText)
{
    const ReadFailure& row = GetParam();
    EXPECT_EQ(ReadHex(PathOf(row.target), row.offset, row.count, ErrorReporter{}), "");
    ExpectRomUnchanged();
}

INSTANTIATE_TEST_SUITE_P(
    HexIo, ReadHexFailure,
    testing::Values(ReadFailure{"EmptyPath", Target::EmptyPath, 0, 1, ErrorCode::FileNotOpened},
                    ReadFailure{"MissingFile", Target::MissingFile, 0, 1, ErrorCode::FileNotOpened},
                    ReadFailure{"Folder", Target::Folder, 0, 1, ErrorCode::FileNotOpened},
                    ReadFailure{"StartsAtTheEnd", Target::Rom, kRomSize, 1, ErrorCode::PastEndOfFile},
                    ReadFailure{"StraddlesTheEnd", Target::Rom, kRomSize - 1, 2, ErrorCode::PastEndOfFile},
                    ReadFailure{"FarPastTheEnd", Target::Rom, 0x1000000, 4, ErrorCode::PastEndOfFile},
                    ReadFailure{"NegativeOffset", Target::Rom, -1, 1, ErrorCode::BadOffset},
                    ReadFailure{"OffsetBeyondThirtyTwoBits", Target::Rom, 0x100000000LL, 1, ErrorCode::BadOffset},
                    ReadFailure{"OffsetJustPastSignedRange", Target::Rom, 0x80000000LL, 1, ErrorCode::BadOffset},
                    ReadFailure{"CountBeyondThirtyTwoBits", Target::Rom, 0, 0x100000000LL, ErrorCode::BadOffset},
                    // The offset is refused before the file is even opened.
                    ReadFailure{"NegativeOffsetOfMissingFile", Target::MissingFile, -1, 1, ErrorCode::BadOffset},
                    ReadFailure{"HugeOffsetOfFolder", Target::Folder, 0x100000000LL, 1, ErrorCode::BadOffset}),
    [](const testing::TestParamInfo<ReadFailure>& row) { return std::string(row.param.name); });

struct WriteSuccess {
    const char* name;
    std::int64_t offset;
    std::string text;
    Bytes expected;  // the bytes that land at the offset
};

void PrintTo(const WriteSuccess& row, std::ostream* out) { *out << row.name; }

class WriteHexSuccess : public HexIoFile, public testing::WithParamInterface<WriteSuccess> {};

TEST_P(WriteHexSuccess, WritesExactlyTheBytesOfTheText)
{
    const WriteSuccess& row = GetParam();
    ReportLog log;
    EXPECT_TRUE(WriteHex(rom_, row.offset, row.text, log.Reporter()));
    EXPECT_TRUE(log.errors.empty());

    Bytes expected = original_;
    for (std::size_t i = 0; i < row.expected.size(); ++i) {
        expected[static_cast<std::size_t>(row.offset) + i] = row.expected[i];
    }
    EXPECT_EQ(ReadFile(rom_), expected);
    // Read back through the other half of the pair.
    EXPECT_EQ(ReadHex(rom_, row.offset, static_cast<std::int64_t>(row.expected.size()), log.Reporter()),
              BytesToHex(row.expected));
    EXPECT_TRUE(log.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    HexIo, WriteHexSuccess,
    testing::Values(WriteSuccess{"OddLengthGetsLeadingZero", 0x20, "ABC", {0x0A, 0xBC}},
                    WriteSuccess{"LowerCaseDigits", 0x30, "ff01", {0xFF, 0x01}},
                    WriteSuccess{"MixedCase", 0x30, "aBcD", {0xAB, 0xCD}},
                    WriteSuccess{"SingleDigit", 0x31, "7", {0x07}},
                    WriteSuccess{"FourBytePointer", 0x40, "00100008", {0x00, 0x10, 0x00, 0x08}},
                    WriteSuccess{"FirstByte", 0, "EE", {0xEE}},
                    WriteSuccess{"LastByte", kRomSize - 1, "EE", {0xEE}},
                    WriteSuccess{"EndsAtTheEnd", kRomSize - 3, "123456", {0x12, 0x34, 0x56}}),
    [](const testing::TestParamInfo<WriteSuccess>& row) { return std::string(row.param.name); });

TEST_F(HexIoFile, WriteHexOfEmptyTextWritesNothing)
{
    ReportLog log;
    EXPECT_TRUE(WriteHex(rom_, 0x20, "", log.Reporter()));
    EXPECT_TRUE(log.errors.empty());
    ExpectRomUnchanged();
}

struct WriteFailure {
    const char* name;
    Target target;
    std::int64_t offset;
    std::string text;
    ErrorCode code;
};

void PrintTo(const WriteFailure& row, std::ostream* out) { *out << row.name; }

class WriteHexFailure : public HexIoFile, public testing::WithParamInterface<WriteFailure> {};

TEST_P(WriteHexFailure, ReportsOnceAndWritesNothing)
{
    const WriteFailure& row = GetParam();
    ReportLog log;
    EXPECT_FALSE(WriteHex(PathOf(row.target), row.offset, row.text, log.Reporter()));
    ExpectOneReport(log, row.code);
    ExpectRomUnchanged();
}

TEST_P(WriteHexFailure, WithoutReporterStillWritesNothing)
{
    const WriteFailure& row = GetParam();
    EXPECT_FALSE(WriteHex(PathOf(row.target), row.offset, row.text, ErrorReporter{}));
    ExpectRomUnchanged();
}

INSTANTIATE_TEST_SUITE_P(
    HexIo, WriteHexFailure,
    testing::Values(
        // Checked whole first: the pair 12 before the bad pair is not written either.
        WriteFailure{"BadPairInTheMiddle", Target::Rom, 0x40, "12ZZ34", ErrorCode::BadHexText},
        WriteFailure{"BadLastDigit", Target::Rom, 0x40, "123G", ErrorCode::BadHexText},
        WriteFailure{"BadOnlyDigit", Target::Rom, 0x40, "G", ErrorCode::BadHexText},
        WriteFailure{"Blank", Target::Rom, 0x40, "12 34", ErrorCode::BadHexText},
        WriteFailure{"Prefix", Target::Rom, 0x40, "0x12", ErrorCode::BadHexText},
        WriteFailure{"Sign", Target::Rom, 0x40, "-1", ErrorCode::BadHexText},
        WriteFailure{"NonAscii", Target::Rom, 0x40, "\xC3\xA9", ErrorCode::BadHexText},
        WriteFailure{"StraddlesTheEnd", Target::Rom, kRomSize - 1, "1234", ErrorCode::PastEndOfFile},
        WriteFailure{"StartsAtTheEnd", Target::Rom, kRomSize, "12", ErrorCode::PastEndOfFile},
        WriteFailure{"FarPastTheEnd", Target::Rom, 0x1000000, "12", ErrorCode::PastEndOfFile},
        WriteFailure{"NegativeOffset", Target::Rom, -1, "12", ErrorCode::BadOffset},
        WriteFailure{"NegativeOffsetReachingIn", Target::Rom, -1, "1234", ErrorCode::BadOffset},
        WriteFailure{"OffsetBeyondThirtyTwoBits", Target::Rom, 0x100000000LL, "12", ErrorCode::BadOffset},
        WriteFailure{"EmptyPath", Target::EmptyPath, 0, "12", ErrorCode::FileNotOpened},
        WriteFailure{"MissingFile", Target::MissingFile, 0, "12", ErrorCode::FileNotOpened},
        WriteFailure{"Folder", Target::Folder, 0, "12", ErrorCode::FileNotOpened},
        // The offset is refused before the file is even opened.
        WriteFailure{"NegativeOffsetOfMissingFile", Target::MissingFile, -1, "12", ErrorCode::BadOffset},
        WriteFailure{"HugeOffsetOfFolder", Target::Folder, 0x100000000LL, "12", ErrorCode::BadOffset}),
    [](const testing::TestParamInfo<WriteFailure>& row) { return std::string(row.param.name); });

TEST_F(HexIoFile, WriteHexThatFailsOnDiskReportsAWriteError)
{
    ReportLog log;
    {
        test::FailingWrites writes(0);
        EXPECT_FALSE(WriteHex(rom_, 0x10, "AABB", log.Reporter()));
        EXPECT_EQ(writes.attempts, 2) << "the write, then putting back what it may have landed";
    }
    ExpectOneReport(log, ErrorCode::FileWrite);
    ExpectRomUnchanged();
}

TEST_F(HexIoFile, CallsSucceedWhileAnotherHandleIsOpen)
{
    ReportLog log;
    RomFile held = OpenOrThrow(rom_);

    ASSERT_TRUE(WriteHex(rom_, 0x50, "C0FFEE", log.Reporter()));
    EXPECT_EQ(ReadHex(rom_, 0x50, 3, log.Reporter()), "C0FFEE");
    EXPECT_TRUE(log.errors.empty());

    RomFile later = OpenOrThrow(rom_);
    auto bytes = later.ReadAt(0x50, 3);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (Bytes{0xC0, 0xFF, 0xEE}));

    // The handle held all along sees it too, and its own closed write reaches ReadHex.
    auto seen = held.ReadAt(0x50, 3);
    ASSERT_TRUE(seen);
    EXPECT_EQ(*seen, (Bytes{0xC0, 0xFF, 0xEE}));
    const Byte own[] = {0x42};
    ASSERT_TRUE(RomFileTestAccess::WriteAt(held, 0x60, own));
    held.Close();
    EXPECT_EQ(ReadHex(rom_, 0x60, 1, log.Reporter()), "42");
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(HexIoFile, NonAsciiPathWithBlanks)
{
    const std::filesystem::path path = dir_.Path() / std::u8string_view(u8"Röm dir") / std::u8string_view(u8"ß file.gba");
    WriteFile(path, original_);
    ReportLog log;
    ASSERT_TRUE(WriteHex(path, 0x10, "ab", log.Reporter()));
    EXPECT_EQ(ReadHex(path, 0x10, 1, log.Reporter()), "AB");
    EXPECT_TRUE(log.errors.empty());
    const Bytes after = ReadFile(path);
    EXPECT_EQ(DifferingOffsets(original_, after), std::vector<std::size_t>{0x10});
}

TEST_F(HexIoFile, FullPointerReadAndWrittenBackUnchanged)
{
    ReportLog log;
    ASSERT_TRUE(WriteHex(rom_, 0x80, "00100008", log.Reporter()));
    const Bytes before = ReadFile(rom_);

    // Read: four bytes, turned around, less the cartridge base.
    const std::uint64_t pointer = HexToNumber(SwapByteOrder(ReadHex(rom_, 0x80, 4, log.Reporter())));
    const std::int64_t offset = static_cast<std::int64_t>(pointer) - kRomBase;
    EXPECT_EQ(offset, 0x1000);
    const std::string shown = NumberToHex(static_cast<std::uint64_t>(offset));
    EXPECT_EQ(shown, "1000");

    // Written back from the shown text.
    const std::string text = SwapByteOrder(PadHex(NumberToHex(HexToNumber(shown) + kRomBase), 8));
    ASSERT_TRUE(WriteHex(rom_, 0x80, text, log.Reporter()));
    EXPECT_EQ(ReadFile(rom_), before);
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(HexIoFile, PointerBodyLeavesTheFourthByteAlone)
{
    ReportLog log;
    ASSERT_TRUE(WriteHex(rom_, 0x90, "00000000", log.Reporter()));
    ASSERT_TRUE(WriteHex(rom_, 0x90, SwapByteOrder(FitHex("1000", 6)), log.Reporter()));
    EXPECT_EQ(ReadHex(rom_, 0x90, 4, log.Reporter()), "00100000");
    EXPECT_EQ(SwapByteOrder(ReadHex(rom_, 0x90, 3, log.Reporter())), "001000");
    // The stored value stays below the cartridge base.
    EXPECT_LT(HexToNumber(SwapByteOrder(ReadHex(rom_, 0x90, 4, log.Reporter()))), kRomBase);

    // A longer text is cut to its last six digits, so only three bytes are ever written.
    ASSERT_TRUE(WriteHex(rom_, 0x90, SwapByteOrder(FitHex("ABCDEF1", 6)), log.Reporter()));
    EXPECT_EQ(ReadHex(rom_, 0x90, 4, log.Reporter()), "F1DEBC00");
    EXPECT_TRUE(log.errors.empty());
}

TEST(HexToBytes, TurnsTextIntoBytesOrRefusesIt)
{
    const struct {
        const char* text;
        bool ok;
        Bytes bytes;
    } rows[] = {{"", true, {}},
                {"ABC", true, {0x0A, 0xBC}},
                {"ff01", true, {0xFF, 0x01}},
                {"0", true, {0x00}},
                {"104A3D", true, {0x10, 0x4A, 0x3D}},
                {"12ZZ34", false, {}},
                {"1 ", false, {}},
                {"0x", false, {}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        auto bytes = HexToBytes(row.text);
        ASSERT_EQ(bytes.has_value(), row.ok);
        if (row.ok) {
            EXPECT_EQ(*bytes, row.bytes);
        } else {
            EXPECT_EQ(bytes.error().code, ErrorCode::BadHexText);
        }
    }
}

}  // namespace
}  // namespace quillbox
