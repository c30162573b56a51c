#pragma once

#include "support/RomBuilder.h"
#include "support/TestFiles.h"

#include "items/record/ItemOperations.h"
#include "text/GameText.h"

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <stdexcept>
#include <ostream>
#include <string>
#include <string_view>

namespace quillbox::test {

// What every supported header code is expected to give, written out here rather than taken
// from the family table so that a wrong table entry shows.
struct GameCase {
    std::string_view headerCode;
    std::string_view gameCode;
    int itemCount;
    bool hasImages;
};

inline constexpr std::array<GameCase, 5> kGameCases{{
    {"BPRE", "BPR", 375, true},
    {"BPGE", "BPG", 375, true},
    {"BPEE", "BPE", 377, true},
    {"AXVE", "AXV", 349, false},
    {"AXPE", "AXP", 349, false},
}};

inline std::string GameCaseName(const ::testing::TestParamInfo<GameCase>& info)
{
    return std::string(info.param.headerCode);
}

inline void PrintTo(const GameCase& game, std::ostream* out) { *out << game.headerCode; }

inline std::string U8(TextView text) { return ToUtf8(text); }

// Opens a ROM or fails the test; the state of a failed open is empty.
inline RomState OpenOrFail(const std::filesystem::path& rom, const std::filesystem::path& profile)
{
    auto opened = OpenRom(rom, profile);
    EXPECT_TRUE(opened) << (opened ? "" : opened.error().message);
    return opened ? opened->state : RomState{};
}

// A sample ROM of a game written into `dir` and opened with the shipped profile.
inline OpenedRom OpenSample(const TempDir& dir, std::string_view code, std::string_view name = "sample.gba")
{
    auto opened = OpenRom(WriteSample(dir, code, name), ShippedProfile());
    if (!opened) throw std::runtime_error(opened.error().message);
    return std::move(*opened);
}

// An edit that sets one member and leaves every other field alone.
template <typename Member, typename Value>
ItemEdit EditOf(std::optional<Member> ItemEdit::*member, Value value)
{
    ItemEdit edit;
    edit.*member = Member(value);
    return edit;
}

inline std::string Describe(const Status& status) { return status ? "success" : status.error().message; }

template <typename T>
std::string Describe(const Result<T>& result)
{
    return result ? "success" : result.error().message;
}

}  // namespace quillbox::test
