#include "items/growth/ItemCodeSites.h"

#include "items/growth/Thumb.h"

#include "base/HexText.h"
#include "items/effect/ItemEffectTable.h"
#include "rom/PointerScan.h"

#include <algorithm>
#include <optional>

namespace quillbox {

namespace {

using thumb::Half;

// The compiled `ITEM_POTION <= id && id <= ITEM_POTION + 0xA5` of the retail disassembly
// (pokefirered GetItemEffectType at 0x08126C68: adds r2, r1, #0; subs r2, #0xD; lsls r0, r2, #16;
// lsrs r0, r0, #16; cmp r0, #0xA5; bls): subs rX, #13, then rY = (u16)rX compared with an imm8.
bool IsSubs13(std::uint16_t h) { return (h & 0xF8FF) == 0x380D; }
std::uint16_t Lsls16(int x, int y) { return static_cast<std::uint16_t>(0x0400 | x << 3 | y); }
// lsrs rY, rY, #shift (1 to 31; the released check's shift is 16).
std::uint16_t Lsrs(int y, int shift) { return static_cast<std::uint16_t>(0x0800 | shift << 6 | y << 3 | y); }
bool IsLsrsOf(std::uint16_t h, int y) { return (h & 0xF83F) == (0x0800 | y << 3 | y); }
bool IsCompareImm(std::uint16_t h, int y) { return (h & 0xFF00) == (0x2800 | y << 8); }

// How far after the compare the load of the table may come: GetItemEffectType's, the farthest in
// the released code, is 0x18 bytes on, past the ENIGMA BERRY special case.
constexpr std::int64_t kLoadWindow = 0x60;

// One instruction of a released form: the bits that must match. A zero mask stands for an
// unconditional transfer, `b` or the `bl` agbcc emits for a branch past b's 2 KiB (lr is free to
// clobber there: each of these functions returns through the register it pops, never lr).
struct Step {
    std::uint16_t bits;
    std::uint16_t mask;
};
constexpr Step Is(std::uint16_t h) { return {h, 0xFFFF}; }
constexpr Step WithImm8(std::uint16_t h) { return {h, 0xFF00}; }
constexpr Step kJump{0, 0};

// Instructions the proof rests on, starting right after the check (`from` -1, `step` -1) or at
// the target of a branch: the check's own (`from` -1, `step` 4) or an earlier piece's.
struct Piece {
    int from;
    int step;
    std::span<const Step> steps;
};

// A released check and what follows it, as the retail disassembly has it. The rewrite leaves rY
// u16(id - 13) >> k instead of u16(id - 13) and the flags as lsrs sets them, not as cmp did, so
// the form holds, on both ways out of the branch, the instructions that write rY (r0 in every
// released check, never rX, which the rewrite keeps) before any reads it, and that write the
// flags before any reads them or return (no caller reads flags a call left). The branch keeps its
// place and offset; only its condition changes.
struct CheckForm {
    std::string_view name;
    int index;
    int compare;
    int condition;  // the released branch's
    std::span<const Piece> pieces;
};

// The Pokémon item-effect routines: FireRed's PokemonUseItemEffects (subs r4, #13 at 0x08041526,
// FR 1.0) and PokemonItemUseNoEffect (0x08042502), Emerald's (0x0806BE6E) and Ruby's
// (0x0803E2F2), each `subs r4, #13; lsls r0, r4, #16; lsrs r0, #16; cmp r0, #0xA5; bhi` (the retail
// disassembly in the early history of pokefirered, pokeemerald and pokeruby). Other paths
// branch to the lsls, which the rewrite keeps. Falling through: ldr r1, =gItemEffectTable;
// lsls r0, r4, #2 writes r0 and N, Z, C; adds r0, r0, r1 writes every flag. The bhi's target:
// movs r0, #1 writes r0, N and Z, then b or bl to the epilogue (add sp; pop {r3-r5}; mov r8-r10;
// pop {r4-r7}; pop {r1}; bx r1), which reads no flag and returns.
constexpr Step kEffectFallThrough[] = {WithImm8(0x4900), Is(0x00A0), Is(0x1840)};
constexpr Step kEffectRefused[] = {Is(0x2001), kJump};
constexpr Step kEffectReturn[] = {{0xB000, 0xFF80}, Is(0xBC38), Is(0x4698), Is(0x46A1),
                                  Is(0x46AA),       Is(0xBCF0), Is(0xBC02), Is(0x4708)};
constexpr Piece kEffectPieces[] = {{-1, -1, kEffectFallThrough}, {-1, 4, kEffectRefused}, {1, 1, kEffectReturn}};

// GetItemEffectType (FireRed 0x08126C70, Emerald 0x081B7CF4: subs r2, #13; lsls r0, r2, #16;
// lsrs r0, #16; cmp r0, #0xA5; bls 1f; b 2f). The kept way (1:) starts cmp r1, #0xAF, which
// writes every flag; then bne to ldr r1, =gItemEffectTable; lsls r0, r2, #2, or on to ldr r0, =...:
// r0 written either way. The refused way (2:) is movs r0, #0x16 (r0, N, Z) and a b to
// pop {r4, r5}; pop {r1}; bx r1.
constexpr Step kTypeRefusedBranch[] = {kJump};
constexpr Step kTypeKept[] = {Is(0x29AF), WithImm8(0xD100), WithImm8(0x4800)};
constexpr Step kTypeTable[] = {WithImm8(0x4900), Is(0x0090)};
constexpr Step kTypeRefused[] = {Is(0x2016), kJump};
constexpr Step kTypeReturn[] = {Is(0xBC30), Is(0xBC02), Is(0x4708)};
constexpr Piece kTypePieces[] = {
    {-1, -1, kTypeRefusedBranch}, {-1, 4, kTypeKept}, {1, 1, kTypeTable}, {0, 0, kTypeRefused}, {3, 1, kTypeReturn}};

// No released check has rY == rX, so neither form admits one.
constexpr CheckForm kForms[] = {{"the Pokémon item-effect routine's", 4, 0, thumb::kCondHi, kEffectPieces},
                                {"GetItemEffectType's", 2, 0, thumb::kCondLs, kTypePieces}};

std::string Hex4(std::uint16_t h)
{
    std::string text = NumberToHex(h);
    return std::string(4 - std::min<std::size_t>(4, text.size()), '0') + text;
}

std::string Expected(const Step& step)
{
    if (step.mask == 0) return "a b or bl";
    std::string text = Hex4(step.bits);
    if (step.mask == 0xFF00) text.replace(2, 2, "xx");
    if (step.mask == 0xFF80) text = "B0xx (add sp)";
    return text;
}

// Where the branch at `at` goes, for the instructions a form names as branches.
std::optional<std::int64_t> BranchTarget(std::span<const Byte> rom, std::int64_t at)
{
    const std::uint16_t h = Half(rom, at);
    if (thumb::IsCondBranch(h)) return thumb::CondBranchTarget(at, h);
    if (thumb::IsB(h)) return thumb::BTarget(at, h);
    if (thumb::IsBl(rom, at)) return thumb::BlTarget(rom, at);
    return std::nullopt;
}

// What differs from the form's pieces after the check at `subsAt`, said; nothing when all match.
std::optional<std::string> DifferenceAfter(std::span<const Byte> rom, std::int64_t subsAt, const CheckForm& form)
{
    std::vector<std::vector<std::int64_t>> places;
    for (const Piece& piece : form.pieces) {
        std::optional<std::int64_t> start;
        if (piece.from < 0) {
            start = piece.step < 0 ? std::optional<std::int64_t>(subsAt + 10) : BranchTarget(rom, subsAt + 2 * piece.step);
        } else {
            start = BranchTarget(rom, places[static_cast<std::size_t>(piece.from)][static_cast<std::size_t>(piece.step)]);
        }
        if (!start) return "a branch the form follows is none";
        std::vector<std::int64_t> at;
        std::int64_t p = *start;
        for (const Step& step : piece.steps) {
            if (!thumb::Inside(rom, p, 2)) return "the code runs past the end of the file at " + SiteHex(p);
            const std::uint16_t h = Half(rom, p);
            at.push_back(p);
            if (step.mask == 0 && thumb::IsB(h)) {
                p += 2;
            } else if (step.mask == 0 && thumb::IsBl(rom, p)) {
                p += 4;
            } else if (step.mask != 0 && (h & step.mask) == step.bits) {
                p += 2;
            } else {
                return "expected " + Expected(step) + " at " + SiteHex(p) + ", found " + Hex4(h);
            }
        }
        places.push_back(std::move(at));
    }
    return std::nullopt;
}

}  // namespace

int EffectShiftFor(int itemCount)
{
    const std::int64_t entries = std::int64_t{itemCount} - kFirstEffectItem;
    int k = 0;
    while (k < 31 && (std::int64_t{1} << k) < entries) ++k;
    return k;
}

Bytes EffectCheckRewrite(std::span<const Byte> rom, const EffectCheckSite& check, int shift)
{
    // The nop takes the compare's place, so the branch keeps its own halfword and offset (and
    // nothing branches to either in the released code: other paths join at the lsls). bhi (skip
    // when above) becomes bne (skip when any bit is left), bls (keep when not above) beq. The
    // condition is bits 8-11 of either; the offset, bits 0-7, stays.
    const std::uint16_t branch = Half(rom, check.subsAt + 8);
    const int condition = thumb::BranchCondition(branch);
    const int now = condition == thumb::kCondHi || condition == thumb::kCondNe ? thumb::kCondNe : thumb::kCondEq;
    const std::uint16_t code[] = {Lsrs(check.compareRegister, 16 + shift), thumb::kNop,
                                  static_cast<std::uint16_t>((branch & 0xF0FF) | now << 8)};
    Bytes bytes(6);
    for (std::size_t k = 0; k < std::size(code); ++k) thumb::PutHalf(bytes, 2 * k, code[k]);
    return bytes;
}

Result<EffectSites> FindEffectSites(std::span<const Byte> rom, CodeFamily family, std::int64_t effectTable)
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
        EffectCheckSite check;
        check.subsAt = at;
        check.indexRegister = subs >> 8 & 7;
        const std::uint16_t first = Half(rom, at + 2);
        if ((first & 0xFFF8) != Lsls16(check.indexRegister, 0)) continue;
        check.compareRegister = first & 7;
        const std::uint16_t lsrs = Half(rom, at + 4);
        const std::uint16_t sixth = Half(rom, at + 6);
        const std::uint16_t branch = Half(rom, at + 8);
        if (!IsLsrsOf(lsrs, check.compareRegister) || !thumb::IsCondBranch(branch)) continue;
        const int shift = lsrs >> 6 & 31;
        const int condition = thumb::BranchCondition(branch);
        int releasedCondition = -1;
        if (shift == 16 && IsCompareImm(sixth, check.compareRegister) &&
            (condition == thumb::kCondHi || condition == thumb::kCondLs)) {
            check.lastIndex = sixth & 0xFF;
            releasedCondition = condition;
        } else if (shift >= 16 && sixth == thumb::kNop && (condition == thumb::kCondNe || condition == thumb::kCondEq)) {
            check.shift = shift - 16;
            check.lastIndex = (1 << check.shift) - 1;
            releasedCondition = condition == thumb::kCondNe ? thumb::kCondHi : thumb::kCondLs;
        } else {
            continue;
        }
        if (!loadsTable(at + 10)) continue;
        const auto form = std::find_if(std::begin(kForms), std::end(kForms), [&](const CheckForm& candidate) {
            return candidate.index == check.indexRegister && candidate.compare == check.compareRegister &&
                   candidate.condition == releasedCondition;
        });
        if (form == std::end(kForms)) {
            return MakeError(ErrorCode::UnsupportedRom,
                             "the item-effect check at " + SiteHex(at) + " differs from the released code: no released check tests r" +
                                 std::to_string(check.compareRegister) + " from r" + std::to_string(check.indexRegister) +
                                 " with that branch");
        }
        if (auto difference = DifferenceAfter(rom, at, *form)) {
            return MakeError(ErrorCode::UnsupportedRom,
                             "the item-effect check at " + SiteHex(at) + " (" + std::string(form->name) +
                                 "): the code after it differs from the released code, which is what proves r" +
                                 std::to_string(check.compareRegister) + " and the flags unread after it: " + *difference);
        }
        check.form = form->name;
        sites.checks.push_back(check);
    }
    if (static_cast<int>(sites.checks.size()) != released.effectChecks) {
        return MakeError(ErrorCode::UnsupportedRom,
                         "the item-effect checks: the released " + std::string(CodeFamilyName(family)) + " code has " +
                             std::to_string(released.effectChecks) +
                             " (subs #13, a 16-bit compare, then a load of the table), found " +
                             std::to_string(sites.checks.size()));
    }
    // Any k a growth wrote is as sound as another (its table holds the 2^k entries), and a later
    // growth that left the effect table alone changed the count but not the checks.
    for (const EffectCheckSite& check : sites.checks) {
        if (check.shift < 0 && check.lastIndex != kReleasedEffectLastIndex) {
            return MakeError(ErrorCode::UnsupportedRom,
                             "the item-effect check at " + SiteHex(check.subsAt) + " differs from the released code: expected a bound of " +
                                 std::to_string(kReleasedEffectLastIndex) + ", found " + std::to_string(check.lastIndex));
        }
        if (check.shift > kLargestEffectShift) {
            return MakeError(ErrorCode::UnsupportedRom, "the item-effect check at " + SiteHex(check.subsAt) +
                                                            " lets 2^" + std::to_string(check.shift) +
                                                            " entries through, more than ids are");
        }
        if (check.lastIndex != sites.checks.front().lastIndex) {
            return MakeError(ErrorCode::UnsupportedRom, "the item-effect checks at " + SiteHex(sites.checks.front().subsAt) +
                                                            " and " + SiteHex(check.subsAt) + " let different ids through");
        }
    }
    return sites;
}

}  // namespace quillbox
