#include "rom/GameFamily.h"

namespace quillbox {

namespace {

constexpr std::string_view kKantoPockets[] = {"???", "Items", "Key Items", "Poke Balls", "TM Case", "Berry Pouch"};
constexpr std::string_view kHoennPockets[] = {"???", "Items", "Poke Balls", "TM/HM's", "Berries", "Key Items"};
constexpr std::string_view kMystery1[] = {"0", "1", "2"};
constexpr std::string_view kMystery2[] = {"0", "1"};
constexpr std::string_view kKantoBattleUsage[] = {"0", "1", "2", "3"};
constexpr std::string_view kHoennBattleUsage[] = {"0", "1", "2"};

constexpr GameFamily kFamilies[] = {
    {{"BPR", "BPG"}, 375, true, kKantoPockets, kMystery1, kMystery2, kKantoBattleUsage},
    {{"BPE", "BPE"}, 377, true, kHoennPockets, kMystery1, kMystery2, kHoennBattleUsage},
    {{"AXV", "AXP"}, 349, false, kHoennPockets, kMystery1, kMystery2, kHoennBattleUsage},
};

}  // namespace

std::string_view GameCodeOf(std::string_view headerCode) { return headerCode.substr(0, 3); }

const GameFamily* FindGameFamily(std::string_view gameCode)
{
    for (const GameFamily& family : kFamilies) {
        if (gameCode == family.codes[0] || gameCode == family.codes[1]) return &family;
    }
    return nullptr;
}

std::span<const GameFamily> AllGameFamilies() { return kFamilies; }

}  // namespace quillbox
