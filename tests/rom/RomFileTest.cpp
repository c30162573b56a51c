#include "rom/RomFile.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace quillbox {
namespace {

using test::DifferingOffsets;
using test::OpenOrThrow;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

// 0x00, 0x01, ... 0xFF, 0x00, ...: every offset holds a different byte within 256.
Bytes Counting(std::size_t size)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<Byte>(i & 0xFF);
    return bytes;
}

TEST(RomFileOpen, RefusesPathsThatNameNoFile)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "folder.gba");
    const struct {
        const char* what;
        std::filesystem::path path;
    } rows[] = {
        {"empty path", {}},
        {"missing file", dir / "missing.gba"},
        {"missing folder", dir / "nowhere" / "rom.gba"},
        {"folder", dir / "folder.gba"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto file = RomFile::Open(row.path);
        ASSERT_FALSE(file);
        EXPECT_EQ(file.error().code, ErrorCode::FileNotOpened);
        EXPECT_FALSE(file.error().message.empty());
    }
    // Opening for writing must not have created anything.
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.gba"));
    EXPECT_FALSE(std::filesystem::exists(dir / "nowhere"));
}

TEST(RomFileOpen, NeverTruncatesTheFile)
{
    TempDir dir;
    const Bytes original = Counting(300);
    const auto path = WriteFile(dir / "rom.gba", original);
    {
        RomFile file = OpenOrThrow(path);
        EXPECT_TRUE(file.IsOpen());
        EXPECT_EQ(file.Size(), 300);
        EXPECT_EQ(file.Path(), path);
    }
    EXPECT_EQ(ReadFile(path), original);

    {
        RomFile file = OpenOrThrow(path);
        const Byte changed[] = {0xEE};
        ASSERT_TRUE(RomFileTestAccess::WriteAt(file, 7, changed));
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    const Bytes after = ReadFile(path);
    ASSERT_EQ(after.size(), original.size());
    EXPECT_EQ(DifferingOffsets(original, after), std::vector<std::size_t>{7});
    EXPECT_EQ(after[7], 0xEE);
}

TEST(RomFileRead, GivesExactlyTheBytesAskedFor)
{
    TempDir dir;
    const Bytes original = Counting(600);
    RomFile file = OpenOrThrow(WriteFile(dir / "rom.gba", original));

    const struct {
        std::int64_t offset;
        std::int64_t count;
    } rows[] = {{0, 1}, {0, 600}, {0xAC, 4}, {255, 3}, {599, 1}, {300, 0}, {600, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE("offset " + std::to_string(row.offset) + ", count " + std::to_string(row.count));
        auto bytes = file.ReadAt(row.offset, row.count);
        ASSERT_TRUE(bytes) << bytes.error().message;
        const auto begin = original.begin() + static_cast<std::ptrdiff_t>(row.offset);
        EXPECT_EQ(*bytes, Bytes(begin, begin + static_cast<std::ptrdiff_t>(row.count)));
    }
}

TEST(RomFileRead, FailsWhenAnyByteLiesPastTheEnd)
{
    TempDir dir;
    const Bytes original = Counting(16);
    const auto path = WriteFile(dir / "rom.gba", original);
    RomFile file = OpenOrThrow(path);

    const struct {
        std::int64_t offset;
        std::int64_t count;
    } rows[] = {{16, 1}, {15, 2}, {0, 17}, {10, 7}, {1000, 4}, {kMaxOffset, 1}};
    for (const auto& row : rows) {
        SCOPED_TRACE("offset " + std::to_string(row.offset) + ", count " + std::to_string(row.count));
        auto bytes = file.ReadAt(row.offset, row.count);
        ASSERT_FALSE(bytes);
        EXPECT_EQ(bytes.error().code, ErrorCode::PastEndOfFile);
    }
    // A failed read leaves the handle usable.
    auto last = file.ReadAt(15, 1);
    ASSERT_TRUE(last);
    EXPECT_EQ(*last, Bytes{15});
    file.Close();
    EXPECT_EQ(ReadFile(path), original);
}

TEST(RomFileRead, ZeroFilledVariantPadsWhatLiesPastTheEnd)
{
    TempDir dir;
    const Bytes original = Counting(16);
    const auto path = WriteFile(dir / "rom.gba", original);
    RomFile file = OpenOrThrow(path);

    auto straddling = file.ReadAtZeroFilled(12, 8);
    ASSERT_TRUE(straddling);
    EXPECT_EQ(*straddling, (Bytes{12, 13, 14, 15, 0, 0, 0, 0}));

    auto beyond = file.ReadAtZeroFilled(1000, 3);
    ASSERT_TRUE(beyond);
    EXPECT_EQ(*beyond, (Bytes{0, 0, 0}));

    auto inside = file.ReadAtZeroFilled(2, 3);
    ASSERT_TRUE(inside);
    EXPECT_EQ(*inside, (Bytes{2, 3, 4}));

    // The last addressable offset is still an offset; one further is not.
    auto lastOffset = file.ReadAtZeroFilled(kMaxOffset, 1);
    ASSERT_TRUE(lastOffset);
    EXPECT_EQ(*lastOffset, Bytes{0});
    auto tooFar = file.ReadAtZeroFilled(kMaxOffset + 1, 1);
    ASSERT_FALSE(tooFar);
    EXPECT_EQ(tooFar.error().code, ErrorCode::BadOffset);

    file.Close();
    EXPECT_EQ(ReadFile(path), original) << "padding must not grow the file";
}

TEST(RomFileWrite, PutsTheBytesAtTheOffset)
{
    TempDir dir;
    const Bytes original = Counting(64);
    const auto path = WriteFile(dir / "rom.gba", original);
    {
        RomFile file = OpenOrThrow(path);
        const Byte first[] = {0xA0, 0xA1};
        const Byte last[] = {0xB0, 0xB1, 0xB2};
        ASSERT_TRUE(RomFileTestAccess::WriteAt(file, 0, first));
        ASSERT_TRUE(RomFileTestAccess::WriteAt(file, 61, last));
        // Read back through the same handle before it is closed.
        auto mixed = file.ReadAt(60, 4);
        ASSERT_TRUE(mixed);
        EXPECT_EQ(*mixed, (Bytes{60, 0xB0, 0xB1, 0xB2}));
        EXPECT_TRUE(RomFileTestAccess::WriteAt(file, 30, {}));
    }
    Bytes expected = original;
    expected[0] = 0xA0;
    expected[1] = 0xA1;
    expected[61] = 0xB0;
    expected[62] = 0xB1;
    expected[63] = 0xB2;
    EXPECT_EQ(ReadFile(path), expected) << "closing by going out of scope keeps the writes";
}

TEST(RomFileWrite, FlushMakesWritesVisibleWhileStillOpen)
{
    TempDir dir;
    const auto path = WriteFile(dir / "rom.gba", Counting(32));
    RomFile file = OpenOrThrow(path);
    const Byte bytes[] = {0x5A, 0xA5};
    ASSERT_TRUE(RomFileTestAccess::WriteAt(file, 20, bytes));
    ASSERT_TRUE(RomFileTestAccess::Flush(file));
    const Bytes onDisk = ReadFile(path);
    ASSERT_EQ(onDisk.size(), 32u);
    EXPECT_EQ(onDisk[20], 0x5A);
    EXPECT_EQ(onDisk[21], 0xA5);
}

TEST(RomFileWrite, RefusesWholeAWriteReachingPastTheEnd)
{
    TempDir dir;
    const Bytes original = Counting(16);
    const auto path = WriteFile(dir / "rom.gba", original);
    {
        RomFile file = OpenOrThrow(path);
        const struct {
            std::int64_t offset;
            std::size_t count;
        } rows[] = {{15, 2}, {16, 1}, {0, 17}, {8, 100}, {1000, 1}};
        for (const auto& row : rows) {
            SCOPED_TRACE("offset " + std::to_string(row.offset) + ", count " + std::to_string(row.count));
            const Bytes bytes(row.count, 0xCC);
            Status written = RomFileTestAccess::WriteAt(file, row.offset, bytes);
            ASSERT_FALSE(written);
            EXPECT_EQ(written.error().code, ErrorCode::PastEndOfFile);
            EXPECT_EQ(file.Size(), 16);
        }
        // The last byte itself can still be written.
        const Byte last[] = {0x77};
        EXPECT_TRUE(RomFileTestAccess::WriteAt(file, 15, last));
    }
    Bytes expected = original;
    expected[15] = 0x77;
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(RomFileWrite, EmptyFileAcceptsNothing)
{
    TempDir dir;
    const auto path = WriteFile(dir / "empty.gba", {});
    {
        RomFile file = OpenOrThrow(path);
        EXPECT_EQ(file.Size(), 0);
        auto none = file.ReadAt(0, 0);
        ASSERT_TRUE(none);
        EXPECT_TRUE(none->empty());
        auto one = file.ReadAt(0, 1);
        ASSERT_FALSE(one);
        EXPECT_EQ(one.error().code, ErrorCode::PastEndOfFile);
        const Byte byte[] = {1};
        Status written = RomFileTestAccess::WriteAt(file, 0, byte);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().code, ErrorCode::PastEndOfFile);
    }
    EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST(RomFileOffsets, NegativeOrBeyondThirtyTwoBitsAreRefusedWithoutTouchingTheFile)
{
    TempDir dir;
    const Bytes original = Counting(16);
    const auto path = WriteFile(dir / "rom.gba", original);
    RomFile file = OpenOrThrow(path);
    // Every write that gets through would reach the injector; none may.
    test::FailingWrites writes(1000);

    const std::int64_t offsets[] = {-1,
                                    -16,
                                    std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int64_t>::min(),
                                    kMaxOffset + 1,
                                    0x100000000LL,
                                    0x100000000LL + 4,
                                    std::numeric_limits<std::int64_t>::max()};
    const Byte bytes[] = {0xCC};
    for (std::int64_t offset : offsets) {
        SCOPED_TRACE("offset " + std::to_string(offset));
        auto read = file.ReadAt(offset, 1);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().code, ErrorCode::BadOffset);
        auto padded = file.ReadAtZeroFilled(offset, 1);
        ASSERT_FALSE(padded);
        EXPECT_EQ(padded.error().code, ErrorCode::BadOffset);
        Status written = RomFileTestAccess::WriteAt(file, offset, bytes);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().code, ErrorCode::BadOffset);
    }
    EXPECT_EQ(writes.attempts, 0);

    for (std::int64_t count : {std::int64_t{-1}, kMaxOffset + 1, std::numeric_limits<std::int64_t>::max()}) {
        SCOPED_TRACE("count " + std::to_string(count));
        auto read = file.ReadAt(0, count);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().code, ErrorCode::BadOffset);
        auto padded = file.ReadAtZeroFilled(0, count);
        ASSERT_FALSE(padded);
        EXPECT_EQ(padded.error().code, ErrorCode::BadOffset);
    }
    file.Close();
    EXPECT_EQ(ReadFile(path), original);
}

TEST(RomFileHandles, ClosedHandleRefusesTransfers)
{
    TempDir dir;
    const Bytes original = Counting(8);
    const auto path = WriteFile(dir / "rom.gba", original);
    RomFile file = OpenOrThrow(path);
    file.Close();
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_FALSE(file.ReadAt(0, 1));
    EXPECT_FALSE(file.ReadAtZeroFilled(0, 1));
    const Byte byte[] = {0xCC};
    Status written = RomFileTestAccess::WriteAt(file, 0, byte);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().code, ErrorCode::FileWrite);
    EXPECT_FALSE(RomFileTestAccess::Flush(file));
    EXPECT_EQ(ReadFile(path), original);
}

TEST(RomFileHandles, MovedHandleKeepsTheFile)
{
    TempDir dir;
    const auto path = WriteFile(dir / "rom.gba", Counting(8));
    RomFile first = OpenOrThrow(path);
    RomFile second = std::move(first);
    EXPECT_TRUE(second.IsOpen());
    EXPECT_EQ(second.Size(), 8);
    auto bytes = second.ReadAt(6, 2);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, (Bytes{6, 7}));
}

TEST(RomFileHandles, SeveralHandlesAtOnceSeeEachOthersClosedWrites)
{
    TempDir dir;
    const Bytes original = Counting(4096);
    const auto path = WriteFile(dir / "rom.gba", original);

    RomFile reader = OpenOrThrow(path);
    // Fill the reader's view of the file before anything changes.
    ASSERT_TRUE(reader.ReadAt(0, 4096));

    RomFile writerA = OpenOrThrow(path);
    RomFile writerB = OpenOrThrow(path);
    const Byte fromA[] = {0xAA, 0xAB};
    const Byte fromB[] = {0xBA};
    ASSERT_TRUE(RomFileTestAccess::WriteAt(writerA, 100, fromA));
    ASSERT_TRUE(RomFileTestAccess::WriteAt(writerB, 3000, fromB));
    writerA.Close();
    writerB.Close();

    auto seenA = reader.ReadAt(100, 2);
    auto seenB = reader.ReadAt(3000, 1);
    ASSERT_TRUE(seenA);
    ASSERT_TRUE(seenB);
    EXPECT_EQ(*seenA, (Bytes{0xAA, 0xAB}));
    EXPECT_EQ(*seenB, Bytes{0xBA});

    RomFile later = OpenOrThrow(path);
    auto laterA = later.ReadAt(100, 2);
    ASSERT_TRUE(laterA);
    EXPECT_EQ(*laterA, (Bytes{0xAA, 0xAB}));
    reader.Close();
    later.Close();

    Bytes expected = original;
    expected[100] = 0xAA;
    expected[101] = 0xAB;
    expected[3000] = 0xBA;
    EXPECT_EQ(ReadFile(path), expected);
}

TEST(RomFileHandles, FailedWriteLeavesTheFileAlone)
{
    TempDir dir;
    const Bytes original = Counting(16);
    const auto path = WriteFile(dir / "rom.gba", original);
    {
        RomFile file = OpenOrThrow(path);
        test::FailingWrites writes(0);
        const Byte bytes[] = {0xCC, 0xCD};
        Status written = RomFileTestAccess::WriteAt(file, 4, bytes);
        ASSERT_FALSE(written);
        EXPECT_EQ(written.error().code, ErrorCode::FileWrite);
        EXPECT_EQ(writes.attempts, 1);
    }
    EXPECT_EQ(ReadFile(path), original);
}

TEST(RomFilePaths, NonAsciiPathWithBlanksWorks)
{
    TempDir dir;
    const std::filesystem::path path = dir.Path() / std::u8string_view(u8"Röm dir") / std::u8string_view(u8"ß file.gba");
    const Bytes original = Counting(40);
    WriteFile(path, original);
    {
        RomFile file = OpenOrThrow(path);
        EXPECT_EQ(file.Path(), path);
        auto bytes = file.ReadAt(36, 4);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(*bytes, (Bytes{36, 37, 38, 39}));
        const Byte changed[] = {0xE9};
        ASSERT_TRUE(RomFileTestAccess::WriteAt(file, 39, changed));
    }
    Bytes expected = original;
    expected[39] = 0xE9;
    EXPECT_EQ(ReadFile(path), expected);
    // The name was not mangled into another file next to it.
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path.parent_path())) ++entries;
    EXPECT_EQ(entries, 1u);
}

}  // namespace
}  // namespace quillbox
