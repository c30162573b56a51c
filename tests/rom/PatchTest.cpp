#include "rom/Patch.h"

#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <ostream>
#include <string>
#include <vector>

namespace quillbox {
namespace {

using test::DifferingOffsets;
using test::OpenOrThrow;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

constexpr std::int64_t kRomSize = 256;
const ChangeLabel kLabel{"Save", 1, "POTION"};

Bytes Counting()
{
    Bytes bytes(kRomSize);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<Byte>(i);
    return bytes;
}

// Five patches as one item save makes them, two of them overlapping, the last ending at the end.
std::vector<Patch> SavePatches()
{
    return {
        {0x10, {0xA0, 0xA1, 0xA2, 0xA3}},
        {0x20, {0xB0}},
        {0x12, {0xC0, 0xC1, 0xC2, 0xC3}},  // overlaps the first
        {0x80, {0xD0, 0xD1}},
        {kRomSize - 3, {0xE0, 0xE1, 0xE2}},
    };
}

Bytes Applied(Bytes bytes, const std::vector<Patch>& patches)
{
    for (const Patch& patch : patches) {
        for (std::size_t i = 0; i < patch.bytes.size(); ++i) {
            bytes[static_cast<std::size_t>(patch.offset) + i] = patch.bytes[i];
        }
    }
    return bytes;
}

bool Mentions(const std::string& message, const std::string& words)
{
    return message.find(words) != std::string::npos;
}

class PatchFile : public testing::Test {
protected:
    PatchFile() : original_(Counting()), rom_(WriteFile(dir_ / "rom.gba", original_)) {}

    TempDir dir_;
    Bytes original_;
    std::filesystem::path rom_;
};

TEST_F(PatchFile, WritesEveryPatchInOrderAndFlushes)
{
    const std::vector<Patch> patches = SavePatches();
    RomFile file = OpenOrThrow(rom_);
    Status applied = ApplyPatches(file, patches, kLabel, KeepHistory::No);
    ASSERT_TRUE(applied) << applied.error().message;

    // Flushed: another reader sees everything while the handle is still open.
    const Bytes expected = Applied(original_, patches);
    EXPECT_EQ(ReadFile(rom_), expected);
    EXPECT_EQ(expected[0x12], 0xC0) << "the later of two overlapping patches wins";
    EXPECT_EQ(expected[0x11], 0xA1);
    file.Close();
    EXPECT_EQ(ReadFile(rom_), expected);
}

TEST_F(PatchFile, NoPatchesChangeNothing)
{
    RomFile file = OpenOrThrow(rom_);
    test::FailingWrites writes(1000);
    EXPECT_TRUE(ApplyPatches(file, {}, kLabel, KeepHistory::No));
    EXPECT_EQ(writes.attempts, 0);
    file.Close();
    EXPECT_EQ(ReadFile(rom_), original_);
}

struct RefusedCase {
    const char* name;
    Patch bad;
    ErrorCode code;
};

void PrintTo(const RefusedCase& row, std::ostream* out) { *out << row.name; }

class RefusedPatch : public PatchFile, public testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedPatch, IsRefusedBeforeAnyByteIsWritten)
{
    const RefusedCase& row = GetParam();
    // Good patches on both sides of the bad one: none of them may land.
    std::vector<Patch> patches = SavePatches();
    patches.insert(patches.begin() + 2, row.bad);

    RomFile file = OpenOrThrow(rom_);
    Status checked = CheckPatches(file, patches);
    ASSERT_FALSE(checked);
    EXPECT_EQ(checked.error().code, row.code);

    test::FailingWrites writes(1000);
    Status applied = ApplyPatches(file, patches, kLabel, KeepHistory::No);
    ASSERT_FALSE(applied);
    EXPECT_EQ(applied.error().code, row.code);
    EXPECT_FALSE(applied.error().message.empty());
    EXPECT_EQ(writes.attempts, 0) << "a write was attempted before the check";
    EXPECT_EQ(file.Size(), kRomSize);
    file.Close();
    EXPECT_EQ(ReadFile(rom_), original_);
}

INSTANTIATE_TEST_SUITE_P(
    Patch, RefusedPatch,
    testing::Values(RefusedCase{"StraddlesTheEnd", {kRomSize - 1, {1, 2}}, ErrorCode::PastEndOfFile},
                    RefusedCase{"StartsAtTheEnd", {kRomSize, {1}}, ErrorCode::PastEndOfFile},
                    RefusedCase{"FarPastTheEnd", {0x3DB028, {1, 2, 3, 4}}, ErrorCode::PastEndOfFile},
                    RefusedCase{"LongerThanTheFile", {0, Bytes(kRomSize + 1, 0)}, ErrorCode::PastEndOfFile},
                    RefusedCase{"NegativeOffset", {-1, {1}}, ErrorCode::BadOffset},
                    RefusedCase{"NegativeOffsetReachingIn", {-2, {1, 2, 3, 4}}, ErrorCode::BadOffset},
                    RefusedCase{"OffsetBeyondThirtyTwoBits", {0x100000000LL, {1}}, ErrorCode::BadOffset}),
    [](const testing::TestParamInfo<RefusedCase>& row) { return std::string(row.param.name); });

TEST_F(PatchFile, CheckAcceptsPatchesInsideTheFile)
{
    RomFile file = OpenOrThrow(rom_);
    EXPECT_TRUE(CheckPatches(file, SavePatches()));
    const std::vector<Patch> whole{{0, Bytes(kRomSize, 0)}};
    EXPECT_TRUE(CheckPatches(file, whole));
}

// One write fails as a passing disk error would; the writes around it go through.
class OneFailingWrite : public PatchFile, public testing::WithParamInterface<int> {};

TEST_P(OneFailingWrite, LeavesTheFileByteIdentical)
{
    const std::vector<Patch> patches = SavePatches();
    RomFile file = OpenOrThrow(rom_);
    {
        test::FailingWriteOnce fault(GetParam());
        Status applied = ApplyPatches(file, patches, kLabel, KeepHistory::No);
        ASSERT_FALSE(applied);
        EXPECT_EQ(applied.error().code, ErrorCode::FileWrite);
        EXPECT_TRUE(Mentions(applied.error().message, "nothing was changed")) << applied.error().message;
        EXPECT_GT(fault.attempts, GetParam()) << "the failing write was never reached";
    }
    EXPECT_EQ(ReadFile(rom_), original_) << "while the handle is open";

    // The handle still works, and a retry without the fault writes everything.
    Status retried = ApplyPatches(file, patches, kLabel, KeepHistory::No);
    ASSERT_TRUE(retried) << retried.error().message;
    file.Close();
    EXPECT_EQ(ReadFile(rom_), Applied(original_, patches));
}

TEST_P(OneFailingWrite, LeavesTheFileByteIdenticalAfterClosing)
{
    {
        RomFile file = OpenOrThrow(rom_);
        test::FailingWriteOnce fault(GetParam());
        EXPECT_FALSE(ApplyPatches(file, SavePatches(), kLabel, KeepHistory::No));
    }
    EXPECT_EQ(ReadFile(rom_), original_);
}

INSTANTIATE_TEST_SUITE_P(Patch, OneFailingWrite, testing::Values(0, 1, 2, 3, 4));

// From the n-th write on, every write fails, the writes that would undo the others included.
class WritesFailFromNowOn : public PatchFile, public testing::WithParamInterface<int> {};

TEST_P(WritesFailFromNowOn, NeverClaimsAnUnchangedFileWhenItChanged)
{
    const std::vector<Patch> patches = SavePatches();
    std::string message;
    {
        RomFile file = OpenOrThrow(rom_);
        test::FailingWrites writes(GetParam());
        Status applied = ApplyPatches(file, patches, kLabel, KeepHistory::No);
        ASSERT_FALSE(applied);
        EXPECT_EQ(applied.error().code, ErrorCode::FileWrite);
        message = applied.error().message;
    }
    const Bytes after = ReadFile(rom_);
    ASSERT_EQ(after.size(), original_.size()) << "the file changed its size";
    if (Mentions(message, "nothing was changed")) {
        EXPECT_EQ(after, original_) << message;
    } else {
        EXPECT_TRUE(Mentions(message, "partly written")) << message;
    }

    // Whatever landed, nothing outside the patches was touched.
    std::set<std::size_t> patched;
    for (const Patch& patch : patches) {
        for (std::size_t i = 0; i < patch.bytes.size(); ++i) patched.insert(static_cast<std::size_t>(patch.offset) + i);
    }
    for (std::size_t offset : DifferingOffsets(original_, after)) {
        EXPECT_TRUE(patched.contains(offset)) << "offset " << offset;
    }
}

INSTANTIATE_TEST_SUITE_P(Patch, WritesFailFromNowOn, testing::Values(0, 1, 2, 4));

}  // namespace
}  // namespace quillbox
