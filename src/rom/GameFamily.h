#pragma once

#include <array>
#include <span>
#include <string_view>

namespace quillbox {

// Everything that differs between the supported games, apart from where their tables lie.
struct GameFamily {
    std::array<std::string_view, 2> codes;  // the game codes of this family (a lone code repeats)
    int itemCount;                          // items listed: 0 .. itemCount - 1
    bool hasImages;
    std::span<const std::string_view> pocketNames;

    int LastItemIndex() const { return itemCount - 1; }
};

// The first three characters of the header code; every per-game decision compares it.
std::string_view GameCodeOf(std::string_view headerCode);

// The family of a game code, exactly and case-sensitively; nullptr when unsupported.
const GameFamily* FindGameFamily(std::string_view gameCode);

std::span<const GameFamily> AllGameFamilies();

// The five header codes the shipped profile describes, one per supported game.
inline constexpr std::array<std::string_view, 5> kKnownHeaderCodes{"BPRE", "BPGE", "BPEE", "AXVE", "AXPE"};

inline constexpr int kItemRecordSize = 44;
inline constexpr int kItemNameSize = 14;
inline constexpr int kMoveCount = 354;
inline constexpr int kMoveNameSize = 13;
inline constexpr int kHeaderCodeOffset = 0xAC;
inline constexpr int kFirstTmItem = 289;
inline constexpr int kLastTmItem = 346;

// Whether the item at a position teaches a move through the TM/HM list.
inline constexpr bool IsTmItem(int position) { return position >= kFirstTmItem && position <= kLastTmItem; }

}  // namespace quillbox
