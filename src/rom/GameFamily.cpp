#include "rom/GameFamily.h"

namespace quillbox {

namespace {

constexpr std::string_view kKantoPockets[] = {"???", "Items", "Key Items", "Poke Balls", "TM Case", "Berry Pouch"};
constexpr std::string_view kHoennPockets[] = {"???", "Items", "Poke Balls", "TM/HM's", "Berries", "Key Items"};

constexpr GameFamily kFamilies[] = {
    {{"BPR", "BPG"}, 375, true, kKantoPockets},
    {{"BPE", "BPE"}, 377, true, kHoennPockets},
    {{"AXV", "AXP"}, 349, false, kHoennPockets},
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
