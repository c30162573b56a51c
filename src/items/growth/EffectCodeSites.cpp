#include "items/growth/ItemCodeSites.h"

#include "items/growth/Thumb.h"

#include "items/effect/ItemEffectTable.h"
#include "rom/PointerScan.h"

#include <algorithm>

namespace quillbox {

namespace {

using thumb::Half;

// The compiled `ITEM_POTION <= id && id <= ITEM_POTION + 0xA5` of the retail disassembly
// (pokefirered GetItemEffectType at 0x08126C68: adds r2, r1, #0; subs r2, #0xD; lsls r0, r2, #16;
// lsrs r0, r0, #16; cmp r0, #0xA5; bls): subs rX, #13, then rY = (u16)rX compared with an imm8.
bool IsSubs13(std::uint16_t h) { return (h & 0xF8FF) == 0x380D; }
std::uint16_t Lsls16(int x, int y) { return static_cast<std::uint16_t>(0x0400 | x << 3 | y); }
std::uint16_t Lsrs16(int y) { return static_cast<std::uint16_t>(0x0C00 | y << 3 | y); }
bool IsCompareImm(std::uint16_t h, int y) { return (h & 0xFF00) == (0x2800 | y << 8); }
// bhi or bls: the compare's outcome is used as unsigned "above".
bool IsAboveBranch(std::uint16_t h) { return (h & 0xFE00) == 0xD800; }

int ScratchRegister(int x, int y)
{
    int z = 0;
    while (z == x || z == y) ++z;
    return z;
}

// How far after the compare the load of the table may come: GetItemEffectType's, the farthest in
// the released code, is 0x18 bytes on, past the ENIGMA BERRY special case.
constexpr std::int64_t kLoadWindow = 0x60;

}  // namespace

Bytes EffectCheckRoutine(int indexRegister, int compareRegister, std::uint32_t lastIndex)
{
    const int x = indexRegister;
    const int y = compareRegister;
    const int z = ScratchRegister(x, y);
    Bytes bytes(static_cast<std::size_t>(kEffectCheckRoutineSize));
    const std::uint16_t code[] = {Lsls16(x, y),
                                  Lsrs16(y),
                                  static_cast<std::uint16_t>(0xB400 | 1 << z),  // push {rZ}
                                  static_cast<std::uint16_t>(0x4802 | z << 8),  // ldr rZ, [pc, #8]
                                  static_cast<std::uint16_t>(0x4280 | z << 3 | y),  // cmp rY, rZ
                                  static_cast<std::uint16_t>(0xBC00 | 1 << z),  // pop {rZ}: flags kept
                                  0x4770,                                       // bx lr
                                  thumb::kNop};
    for (std::size_t k = 0; k < std::size(code); ++k) thumb::PutHalf(bytes, 2 * k, code[k]);
    PutLittleEndian(bytes, 16, lastIndex, 4);
    return bytes;
}

Result<EffectSites> FindEffectSites(std::span<const Byte> rom, CodeFamily family, std::int64_t effectTable, int itemCount)
{
    const ReleasedCode& released = ReleasedCodeOf(family);
    EffectSites sites;
    for (const std::uint32_t wordAt : PointerTargets::WordsNaming(rom, effectTable)) {
        for (std::int64_t p = wordAt - 2; p >= 0 && p >= std::int64_t{wordAt} - 1022; p -= 2) {
            const std::uint16_t h = Half(rom, p);
            if (thumb::IsPcLoad(h) && thumb::PcLoadTarget(p, h) == wordAt) {
                sites.tableWords.push_back({wordAt, p, ReadLe32(rom, wordAt)});
                break;
            }
        }
    }
    if (static_cast<int>(sites.tableWords.size()) != released.effectTableWords) {
        return MakeError(ErrorCode::UnsupportedRom,
                         "the item-effect table at " + SiteHex(effectTable) + ": the released " +
                             std::string(CodeFamilyName(family)) + " code loads it from " +
                             std::to_string(released.effectTableWords) + " literal words, found " +
                             std::to_string(sites.tableWords.size()));
    }
    const auto loadsTable = [&](std::int64_t from) {
        for (std::int64_t p = from; p < from + kLoadWindow && thumb::Inside(rom, p, 2); p += 2) {
            const std::uint16_t h = Half(rom, p);
            if (!thumb::IsPcLoad(h)) continue;
            const std::int64_t word = thumb::PcLoadTarget(p, h);
            if (std::any_of(sites.tableWords.begin(), sites.tableWords.end(),
                            [&](const LiteralSite& site) { return site.wordAt == word; })) {
                return true;
            }
        }
        return false;
    };
    const auto size = static_cast<std::int64_t>(rom.size());
    for (std::int64_t at = 0; at + 10 <= size; at += 2) {
        const std::uint16_t subs = Half(rom, at);
        if (!IsSubs13(subs)) continue;
        const int x = subs >> 8 & 7;
        EffectCheckSite check;
        check.subsAt = at;
        check.indexRegister = x;
        const std::uint16_t first = Half(rom, at + 2);
        if ((first & 0xFFF8) == Lsls16(x, 0)) {
            const int y = first & 7;
            if (Half(rom, at + 4) != Lsrs16(y) || !IsCompareImm(Half(rom, at + 6), y) || !IsAboveBranch(Half(rom, at + 8))) continue;
            check.compareRegister = y;
            check.lastIndex = rom[static_cast<std::size_t>(at + 6)];
        } else if (thumb::IsBl(rom, at + 2) && Half(rom, at + 6) == thumb::kNop && IsAboveBranch(Half(rom, at + 8))) {
            // A check a growth past id 268 rewrote: the routine it calls must be Quillbox's.
            const std::int64_t routine = thumb::BlTarget(rom, at + 2);
            if (!thumb::Inside(rom, routine, kEffectCheckRoutineSize)) continue;
            const int y = Half(rom, routine) & 7;
            const std::uint32_t bound = ReadLe32(rom, static_cast<std::size_t>(routine + 16));
            const Bytes expected = EffectCheckRoutine(x, y, bound);
            if (!std::equal(expected.begin(), expected.end(), rom.begin() + static_cast<std::ptrdiff_t>(routine))) continue;
            check.compareRegister = y;
            check.lastIndex = static_cast<int>(bound);
            check.routine = routine;
        } else {
            continue;
        }
        if (!loadsTable(at + 10)) continue;
        check.functionAt = -1;
        for (std::int64_t p = at - 2; p >= 0 && p >= at - 0x200; p -= 2) {
            const std::uint16_t h = Half(rom, p);
            if (thumb::IsPushLr(h)) {
                check.functionAt = p;
                break;
            }
            if (thumb::IsReturn(h)) break;
        }
        sites.checks.push_back(check);
    }
    if (static_cast<int>(sites.checks.size()) != released.effectChecks) {
        return MakeError(ErrorCode::UnsupportedRom,
                         "the item-effect checks: the released " + std::string(CodeFamilyName(family)) + " code has " +
                             std::to_string(released.effectChecks) +
                             " (subs #13, a 16-bit compare, then a load of the table), found " +
                             std::to_string(sites.checks.size()));
    }
    const int grown = itemCount - 1 - kFirstEffectItem;
    for (const EffectCheckSite& check : sites.checks) {
        if (check.lastIndex != kReleasedEffectLastIndex && check.lastIndex != grown) {
            return MakeError(ErrorCode::UnsupportedRom,
                             "the item-effect check at " + SiteHex(check.subsAt) + " differs from the released code: expected a bound of " +
                                 std::to_string(kReleasedEffectLastIndex) + " (or " + std::to_string(grown) + " for " +
                                 std::to_string(itemCount) + " items), found " + std::to_string(check.lastIndex));
        }
        if (check.lastIndex != sites.checks.front().lastIndex) {
            return MakeError(ErrorCode::UnsupportedRom, "the item-effect checks at " + SiteHex(sites.checks.front().subsAt) +
                                                            " and " + SiteHex(check.subsAt) + " let different ids through");
        }
    }
    return sites;
}

}  // namespace quillbox
