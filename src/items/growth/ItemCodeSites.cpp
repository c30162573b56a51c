#include "items/growth/ItemCodeSites.h"

#include "items/growth/Thumb.h"

#include "base/HexText.h"
#include "rom/PointerScan.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <set>

namespace quillbox {

namespace {

using thumb::Half;

// The released counts, from the decompilations: the item constants (ITEMS_COUNT), the getters of
// item.c (FireRed and Emerald 14, Ruby/Sapphire 15 with ItemId_CopyDescription), the header's
// gItems word (pokefirered/pokeemerald rom_header_gf.c), the icon callers of item_menu_icons.c's
// users (FireRed's shop, bag, item PC and Berry Pouch), the literal loads of gItemEffectTable and
// the `ITEM_POTION <= id <= ITEM_..._BERRY + 3` checks, as the retail disassembly compiles them.
constexpr ReleasedCode kReleased[] = {
    {375, 14, true, true, 4, 8, 3},
    {377, 14, true, true, 0, 7, 2},
    {349, 15, false, false, 0, 7, 1},
};

// SanitizeItemId: pokefirered 0x0809A8A4, pokeemerald 0x080D745C, pokeruby 0x080A98BC (1.0), as
// the retail disassembly holds it: push {lr}; lsls r0, #16; lsrs r1, r0, #16; movs r0, #imm8;
// lsls r0, #1; cmp r1, r0; bhi 1f; adds r0, r1, #0; b 2f; 1: movs r0, #0; 2: pop {r1}; bx r1.
constexpr std::uint16_t kSanitizerReleasedCode[] = {0xB500, 0x0400, 0x0C01, 0x2000, 0x0040, 0x4281,
                                                    0xD801, 0x1C08, 0xE000, 0x2000, 0xBC02, 0x4708};
constexpr Hole kSanitizerReleasedHoles[] = {{6, Operand::BoundHalf}};
// Quillbox's rewrite in the same 24 bytes: lsls r0, #16; lsrs r0, #16; ldr r1, =count; cmp r0, r1;
// bcc 1f; movs r0, #0; 1: bx lr; nop; .word count; nop; nop. The caller's lr is untouched, so no
// push is needed.
constexpr std::uint16_t kSanitizerWordCode[] = {0x0400, 0x0C00, 0x4902, 0x4288, 0xD300, 0x2000,
                                                0x4770, 0x46C0, 0x0000, 0x0000, 0x46C0, 0x46C0};
constexpr Hole kSanitizerWordHoles[] = {{16, Operand::CountWord}};
// The other word form: push {lr}; lsls r0, #16; lsrs r1, r0, #16; ldr r0, =count; cmp r1, r0;
// bcc 1f; movs r0, #0; b 2f; 1: adds r0, r1, #0; 2: pop {pc}; .word count.
constexpr std::uint16_t kSanitizerWordPushedCode[] = {0xB500, 0x0400, 0x0C01, 0x4803, 0x4281, 0xD301,
                                                      0x2000, 0xE000, 0x1C08, 0xBD00, 0x0000, 0x0000};
constexpr Hole kSanitizerWordPushedHoles[] = {{20, Operand::CountWord}};

// GetItemIconGfxPtr, pokefirered 0x08098974 (sub_8098974 in the retail disassembly): push {lr};
// lsls r0, #16; lsrs r3, r0, #16; lsls r1, #24; lsrs r1, #24; ldr r0, =0x177; cmp r3, r0; bls 1f;
// movs r3, #0; 1: ldr r2, =gItemIconTable; lsls r0, r1, #2; lsls r1, r3, #3; adds r0, r1;
// adds r0, r2; ldr r0, [r0]; pop {r1}; bx r1; (pad) .word 0x177, gItemIconTable.
constexpr std::uint16_t kIconKantoCode[] = {0xB500, 0x0400, 0x0C03, 0x0609, 0x0E09, 0x4806, 0x4283, 0xD900,
                                            0x2300, 0x4A05, 0x0088, 0x00D9, 0x1840, 0x1880, 0x6800, 0xBC02,
                                            0x4708, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000};
constexpr Hole kIconKantoHoles[] = {{0x22, Operand::Padding}, {0x24, Operand::AboveWord}, {0x28, Operand::IconTableWord}};
// GetItemIconPicOrPalette, pokeemerald 0x081AFFFC: ... ldr r0, =0xFFFF; cmp r3, r0; bne 1f;
// ldr r3, =0x179; b 2f; .word 0xFFFF, 0x179; 1: movs r0, #0xBC; lsls r0, #1; cmp r3, r0; bls 2f;
// movs r3, #0; 2: ldr r2, =gItemIconTable; ... ; .word gItemIconTable.
constexpr std::uint16_t kIconEmeraldCode[] = {0xB500, 0x0400, 0x0C03, 0x0609, 0x0E09, 0x4802, 0x4283, 0xD105,
                                              0x4B01, 0xE008, 0xFFFF, 0x0000, 0x0000, 0x0000, 0x2000, 0x0040,
                                              0x4283, 0xD900, 0x2300, 0x4A04, 0x0088, 0x00D9, 0x1840, 0x1880,
                                              0x6800, 0xBC02, 0x4708, 0x0000, 0x0000, 0x0000};
constexpr Hole kIconEmeraldHoles[] = {{0x18, Operand::ArrowWord}, {0x1C, Operand::BoundHalf},
                                      {0x36, Operand::Padding}, {0x38, Operand::IconTableWord}};
// Emerald's routine rewritten in its own 60 bytes: ldr r0, =arrow; cmp r3, r0; bcc 2f;
// adds r2, r3, #1; movs r3, #0; lsrs r2, #16; beq 2f; adds r3, r0, #0 (0xFFFF, and only it, gives
// the arrow; every other id from the arrow's on gives 0); 2: the released table read.
constexpr std::uint16_t kIconEmeraldWordCode[] = {0xB500, 0x0400, 0x0C03, 0x0609, 0x0E09, 0x4808, 0x4283, 0xD304,
                                                  0x1C5A, 0x2300, 0x0C12, 0xD000, 0x1C03, 0x4A05, 0x0088, 0x00D9,
                                                  0x1840, 0x1880, 0x6800, 0xBC02, 0x4708, 0x0000, 0x0000, 0x0000,
                                                  0x0000, 0x0000, 0x46C0, 0x46C0, 0x46C0, 0x46C0};
constexpr Hole kIconEmeraldWordHoles[] = {{0x2C, Operand::ArrowWord}, {0x30, Operand::IconTableWord}};

// The four halfwords every getter runs after the call: lsls r0, #16; lsrs r0, #16; movs r1, #44;
// muls r0, r1 (item.c's `gItems[SanitizeItemId(itemId)]`, 44 bytes a record).
constexpr std::uint16_t kGetterTail[] = {0x0400, 0x0C00, 0x212C, 0x4348};

std::string BytesHex(std::span<const Byte> bytes)
{
    std::string text;
    for (const Byte b : bytes) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        if (!text.empty()) text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

Bytes BytesAt(std::span<const Byte> rom, std::int64_t at, std::int64_t size)
{
    const std::int64_t begin = std::clamp<std::int64_t>(at, 0, static_cast<std::int64_t>(rom.size()));
    const std::int64_t end = std::clamp<std::int64_t>(at + size, begin, static_cast<std::int64_t>(rom.size()));
    return Bytes(rom.begin() + static_cast<std::ptrdiff_t>(begin), rom.begin() + static_cast<std::ptrdiff_t>(end));
}

Error Refuse(std::string text) { return MakeError(ErrorCode::UnsupportedRom, std::move(text)); }

Error DiffersFrom(std::string_view site, std::int64_t at, const CodeForm& form, std::span<const Byte> rom)
{
    std::vector<std::uint32_t> zeros(form.holes.size(), 0);
    return Refuse(std::string(site) + " at " + SiteHex(at) + " differs from the released code: expected " +
                  BytesHex(EncodeForm(form, zeros)) + " (holes read 00), found " + BytesHex(BytesAt(rom, at, form.Size())));
}

struct Call {
    std::int64_t at;
    std::int64_t target;
};

// Every `bl` of the ROM, read at each halfword: data read as code adds calls that lead nowhere,
// which only the evidence of what follows a call sorts out.
std::vector<Call> AllCalls(std::span<const Byte> rom)
{
    std::vector<Call> calls;
    const auto size = static_cast<std::int64_t>(rom.size());
    for (std::int64_t at = 0; at + 4 <= size; at += 2) {
        if (!thumb::IsBl(rom, at)) continue;
        const std::int64_t target = thumb::BlTarget(rom, at);
        if (target >= 0 && target < size) calls.push_back({at, target});
        at += 2;
    }
    return calls;
}

// The `bl`s that AllCalls finds followed by the getters' tail, found from the tail: memchr
// passes over the ROM to each `movs r1, #44` byte many times faster than reading every halfword
// as code, and the rest of the tail is compared only there. The set is the same: AllCalls reads
// every halfword as a `bl` except the one after a `bl` it found, and a `bl` ending where another
// starts would need that halfword to be both a `bl`'s second half and its first.
std::vector<Call> GetterCalls(std::span<const Byte> rom)
{
    Byte tail[sizeof kGetterTail];
    for (std::size_t i = 0; i < std::size(kGetterTail); ++i) {
        tail[2 * i] = static_cast<Byte>(kGetterTail[i] & 0xFF);
        tail[2 * i + 1] = static_cast<Byte>(kGetterTail[i] >> 8);
    }
    constexpr std::ptrdiff_t kSought = 4;  // the byte looked for: #44, rarer than the tail's zeros
    std::vector<Call> calls;
    const auto size = static_cast<std::int64_t>(rom.size());
    const Byte* const begin = rom.data();
    const Byte* const end = begin + rom.size();
    for (const Byte* from = begin; from < end;) {
        const auto* hit = static_cast<const Byte*>(std::memchr(from, tail[kSought], static_cast<std::size_t>(end - from)));
        if (hit == nullptr) break;
        from = hit + 1;
        const std::int64_t tailAt = (hit - begin) - kSought;
        const std::int64_t at = tailAt - 4;
        if (at < 0 || at % 2 != 0 || tailAt + static_cast<std::int64_t>(sizeof tail) > size ||
            std::memcmp(begin + tailAt, tail, sizeof tail) != 0 || !thumb::IsBl(rom, at)) {
            continue;
        }
        const std::int64_t target = thumb::BlTarget(rom, at);
        if (target >= 0 && target < size) calls.push_back({at, target});
    }
    return calls;
}

bool HalfwordsAt(std::span<const Byte> rom, std::int64_t at, std::span<const std::uint16_t> code)
{
    if (!thumb::Inside(rom, at, 2 * static_cast<std::int64_t>(code.size()))) return false;
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (Half(rom, at + 2 * static_cast<std::int64_t>(i)) != code[i]) return false;
    }
    return true;
}

// The function around a call: back to its `push {..., lr}` (at most `back` bytes), on to its
// first return.
std::int64_t FunctionStart(std::span<const Byte> rom, std::int64_t at, std::int64_t back)
{
    for (std::int64_t p = at - 2; p >= 0 && p >= at - back; p -= 2) {
        const std::uint16_t h = Half(rom, p);
        if (thumb::IsPushLr(h)) return p;
        if (thumb::IsReturn(h)) return -1;
    }
    return -1;
}

// The PC-relative loads of [begin, end), stopping at a return.
std::vector<LiteralSite> LoadsIn(std::span<const Byte> rom, std::int64_t begin, std::int64_t end)
{
    std::vector<LiteralSite> loads;
    for (std::int64_t p = begin; p < end && thumb::Inside(rom, p, 2); p += 2) {
        const std::uint16_t h = Half(rom, p);
        if (thumb::IsReturn(h)) break;
        if (thumb::IsBl(rom, p)) {
            p += 2;
            continue;
        }
        if (!thumb::IsPcLoad(h)) continue;
        const std::int64_t word = thumb::PcLoadTarget(p, h);
        if (thumb::Inside(rom, word, 4)) loads.push_back({word, p, ReadLe32(rom, static_cast<std::size_t>(word))});
    }
    return loads;
}

struct Getters {
    std::int64_t sanitizer = -1;
    std::vector<std::int64_t> calls;  // the getters' calls to it
};

// The getters: calls followed by the 44-byte index, grouped by the routine they call; the
// sanitiser is the routine most of them call.
Getters FindGetters(std::span<const Byte> rom, const std::vector<Call>& calls)
{
    std::map<std::int64_t, std::vector<std::int64_t>> byTarget;
    for (const Call& call : calls) {
        if (HalfwordsAt(rom, call.at + 4, kGetterTail)) byTarget[call.target].push_back(call.at);
    }
    Getters best;
    for (auto& [target, at] : byTarget) {
        if (at.size() > best.calls.size()) best = {target, at};
    }
    return best;
}

const CodeForm* const kSanitizerForms[] = {&kSanitizerReleased, &kSanitizerWord, &kSanitizerWordPushed};

Result<SanitizerSite> SanitizerOf(std::span<const Byte> rom, const ReleasedCode& released, const std::vector<Call>& calls)
{
    const Getters getters = FindGetters(rom, calls);
    if (getters.sanitizer < 0) {
        return Refuse("no item getters found: no routine is called before an index of 44-byte records");
    }
    if (static_cast<int>(getters.calls.size()) != released.itemTableWords) {
        return Refuse("the item getters: the released code has " + std::to_string(released.itemTableWords) +
                      " calling the sanitiser, found " + std::to_string(getters.calls.size()) + " calling " +
                      SiteHex(getters.sanitizer));
    }
    for (const CodeForm* form : kSanitizerForms) {
        const auto operands = MatchForm(rom, getters.sanitizer, *form);
        if (!operands) continue;
        SanitizerSite site{getters.sanitizer, form, 0, static_cast<int>(getters.calls.size())};
        site.count = form == &kSanitizerReleased ? static_cast<int>(2 * (*operands)[0] + 1) : static_cast<int>((*operands)[0]);
        return site;
    }
    return DiffersFrom("the sanitiser", getters.sanitizer, kSanitizerReleased, rom);
}

// The one literal each getter loads (the item table).
Result<std::vector<LiteralSite>> GetterWords(std::span<const Byte> rom, const Getters& getters)
{
    std::vector<LiteralSite> words;
    for (const std::int64_t call : getters.calls) {
        const std::int64_t start = FunctionStart(rom, call, 0x10);
        if (start < 0) return Refuse("the getter calling the sanitiser at " + SiteHex(call) + " saves no return address before it");
        const auto loads = LoadsIn(rom, start, call + 0x14);
        if (loads.size() != 1) {
            return Refuse("the getter at " + SiteHex(start) + ": the released code loads one literal word, found " +
                          std::to_string(loads.size()));
        }
        words.push_back(loads[0]);
    }
    return words;
}

// A load of `word` from code before it, as far back as an `ldr rN, [pc, #imm8]` reaches.
std::optional<std::int64_t> LoadOf(std::span<const Byte> rom, std::int64_t word)
{
    for (std::int64_t p = word - 2; p >= 0 && p >= word - 1022; p -= 2) {
        const std::uint16_t h = Half(rom, p);
        if (thumb::IsPcLoad(h) && thumb::PcLoadTarget(p, h) == word) return p;
    }
    return std::nullopt;
}

// Whether `from` reaches `to` through at most `depth` more calls, each function read up to its
// first return.
bool Reaches(std::span<const Byte> rom, std::int64_t from, std::int64_t to, int depth)
{
    if (from == to) return true;
    if (depth == 0) return false;
    for (std::int64_t p = from; p < from + 0x200 && thumb::Inside(rom, p, 4); p += 2) {
        const std::uint16_t h = Half(rom, p);
        if (thumb::IsBl(rom, p)) {
            if (Reaches(rom, thumb::BlTarget(rom, p), to, depth - 1)) return true;
            p += 2;
            continue;
        }
        if (thumb::IsReturn(h)) break;
    }
    return false;
}

// Instructions between loading r0 and the call that leave r0 alone: shifts, loads with an
// immediate offset and PC-relative loads into another register.
bool LeavesR0(std::uint16_t h)
{
    const bool shift = h < 0x1000;
    const bool immediateLoad = (h & 0xF800) == 0x6800 || (h & 0xF800) == 0x7800 || (h & 0xF800) == 0x8800;
    if (shift || immediateLoad) return (h & 7) != 0;
    if (thumb::IsPcLoad(h)) return thumb::PcLoadRegister(h) != 0;
    return false;
}

Result<IconSites> IconOf(std::span<const Byte> rom, CodeFamily family, const ItemTables& tables,
                         const std::vector<Call>& calls)
{
    std::vector<const CodeForm*> forms{&kIconKanto};
    if (family == CodeFamily::Emerald) forms = {&kIconEmerald, &kIconEmeraldWord};
    std::vector<IconSites> found;
    std::int64_t loaded = -1;
    for (const std::uint32_t wordAt : PointerTargets::WordsNaming(rom, tables.iconTable)) {
        if (!LoadOf(rom, wordAt)) continue;
        loaded = wordAt;
        for (const CodeForm* form : forms) {
            for (const Hole& hole : form->holes) {
                if (hole.operand != Operand::IconTableWord) continue;
                const std::int64_t start = wordAt - hole.at;
                const auto operands = start % 4 == 0 ? MatchForm(rom, start, *form) : std::nullopt;
                if (!operands) continue;
                IconSites site{start, form, *operands, 0, 0, wordAt, {}};
                for (std::size_t k = 0; k < form->holes.size(); ++k) {
                    const std::uint32_t v = (*operands)[k];
                    switch (form->holes[k].operand) {
                    case Operand::AboveWord: site.arrowId = static_cast<int>(v); site.keptBelow = static_cast<int>(v) + 1; break;
                    case Operand::ArrowWord: site.arrowId = static_cast<int>(v); break;
                    case Operand::BoundHalf: site.keptBelow = static_cast<int>(2 * v + 1); break;
                    default: break;
                    }
                }
                if (form == &kIconEmeraldWord) site.keptBelow = site.arrowId;
                found.push_back(std::move(site));
            }
        }
    }
    if (found.size() != 1) {
        if (found.empty() && loaded >= 0) {
            const Hole& tableHole = forms[0]->holes.back();
            return DiffersFrom("the item icon routine", loaded - tableHole.at, *forms[0], rom);
        }
        return Refuse("the item icon routine: the released code has one routine loading the icon table at " +
                      SiteHex(tables.iconTable) + ", found " + std::to_string(found.size()));
    }
    IconSites icon = std::move(found[0]);
    if (family != CodeFamily::FireRedLeafGreen) return icon;
    // Functions within two calls of the icon routine, then the loads of the arrow's id into r0
    // right before a call to one of them.
    std::set<std::int64_t> iconCode;
    for (const Call& call : calls) {
        if (Reaches(rom, call.target, icon.offset, 2)) iconCode.insert(call.target);
    }
    for (const Call& call : calls) {
        if (!iconCode.contains(call.target)) continue;
        for (std::int64_t p = call.at - 2; p >= 0 && p >= call.at - 10; p -= 2) {
            const std::uint16_t h = Half(rom, p);
            if (thumb::IsPcLoad(h) && thumb::PcLoadRegister(h) == 0) {
                const std::int64_t word = thumb::PcLoadTarget(p, h);
                if (thumb::Inside(rom, word, 4) && ReadLe32(rom, static_cast<std::size_t>(word)) == static_cast<std::uint32_t>(icon.arrowId)) {
                    icon.arrowCallers.push_back({word, p, static_cast<std::uint32_t>(icon.arrowId)});
                }
                break;
            }
            if (!LeavesR0(h)) break;
        }
    }
    const int expected = ReleasedCodeOf(family).arrowCallers;
    if (static_cast<int>(icon.arrowCallers.size()) != expected) {
        return Refuse("the Cancel row arrow's callers: the released code has " + std::to_string(expected) +
                      " loading its id " + std::to_string(icon.arrowId) + " for the icon code, found " +
                      std::to_string(icon.arrowCallers.size()));
    }
    return icon;
}

}  // namespace

std::string SiteHex(std::int64_t offset) { return NumberToHex(static_cast<std::uint64_t>(offset)); }

CodeFamily CodeFamilyOf(const GameFamily& family)
{
    if (family.codes[0] == "BPE") return CodeFamily::Emerald;
    if (family.hasImages) return CodeFamily::FireRedLeafGreen;
    return CodeFamily::RubySapphire;
}

std::string_view CodeFamilyName(CodeFamily family)
{
    switch (family) {
    case CodeFamily::FireRedLeafGreen: return "FireRed/LeafGreen";
    case CodeFamily::Emerald: return "Emerald";
    case CodeFamily::RubySapphire: return "Ruby/Sapphire";
    }
    return {};
}

const ReleasedCode& ReleasedCodeOf(CodeFamily family) { return kReleased[static_cast<int>(family)]; }

const CodeForm kSanitizerReleased{"released", kSanitizerReleasedCode, kSanitizerReleasedHoles,
                                  "SanitizeItemId of the retail disassembly (bound count - 1 as movs; lsls #1)"};
const CodeForm kSanitizerWord{"word", kSanitizerWordCode, kSanitizerWordHoles,
                              "Quillbox's rewrite: the count as a word inside the routine"};
const CodeForm kSanitizerWordPushed{"word (saving lr)", kSanitizerWordPushedCode, kSanitizerWordPushedHoles,
                                    "a rewrite keeping the released push and pop, the count as a word"};
const CodeForm kIconKanto{"released", kIconKantoCode, kIconKantoHoles,
                          "GetItemIconGfxPtr of the retail disassembly (sub_8098974)"};
const CodeForm kIconEmerald{"released", kIconEmeraldCode, kIconEmeraldHoles,
                            "GetItemIconPicOrPalette of the retail disassembly"};
const CodeForm kIconEmeraldWord{"word", kIconEmeraldWordCode, kIconEmeraldWordHoles,
                                "Quillbox's rewrite: the arrow's id as a word, every id from it on refused"};

std::optional<std::vector<std::uint32_t>> MatchForm(std::span<const Byte> rom, std::int64_t offset, const CodeForm& form)
{
    if (!thumb::Inside(rom, offset, form.Size())) return std::nullopt;
    std::vector<std::uint16_t> mask(form.code.size(), 0xFFFF);
    for (const Hole& hole : form.holes) {
        const std::size_t k = hole.at / 2;
        if (hole.operand == Operand::BoundHalf) {
            mask[k] = 0xFF00;
        } else if (hole.operand == Operand::Padding) {
            mask[k] = 0;
        } else {
            mask[k] = 0;
            mask[k + 1] = 0;
        }
    }
    for (std::size_t k = 0; k < form.code.size(); ++k) {
        if ((Half(rom, offset + 2 * static_cast<std::int64_t>(k)) & mask[k]) != (form.code[k] & mask[k])) return std::nullopt;
    }
    std::vector<std::uint32_t> operands;
    for (const Hole& hole : form.holes) {
        const std::int64_t at = offset + hole.at;
        if (hole.operand == Operand::BoundHalf) {
            operands.push_back(rom[static_cast<std::size_t>(at)]);
        } else if (hole.operand == Operand::Padding) {
            operands.push_back(Half(rom, at));
        } else {
            operands.push_back(ReadLe32(rom, static_cast<std::size_t>(at)));
        }
    }
    return operands;
}

Bytes EncodeForm(const CodeForm& form, std::span<const std::uint32_t> operands)
{
    Bytes bytes(static_cast<std::size_t>(form.Size()));
    for (std::size_t k = 0; k < form.code.size(); ++k) thumb::PutHalf(bytes, 2 * k, form.code[k]);
    for (std::size_t k = 0; k < form.holes.size() && k < operands.size(); ++k) {
        const Hole& hole = form.holes[k];
        if (hole.operand == Operand::BoundHalf) {
            bytes[hole.at] = static_cast<Byte>(operands[k]);
        } else if (hole.operand == Operand::Padding) {
            thumb::PutHalf(bytes, hole.at, static_cast<std::uint16_t>(operands[k]));
        } else {
            PutLittleEndian(bytes, hole.at, operands[k], 4);
        }
    }
    return bytes;
}

Result<int> ItemCountFromCode(std::span<const Byte> rom, const GameFamily& family)
{
    auto site = SanitizerOf(rom, ReleasedCodeOf(CodeFamilyOf(family)), GetterCalls(rom));
    if (!site) return site.error();
    return site->count;
}

Result<ItemCodeSites> FindItemCodeSites(std::span<const Byte> rom, const GameFamily& family, const ItemTables& tables)
{
    ItemCodeSites sites;
    sites.family = CodeFamilyOf(family);
    const ReleasedCode& released = ReleasedCodeOf(sites.family);
    const std::vector<Call> calls = AllCalls(rom);
    auto sanitizer = SanitizerOf(rom, released, calls);
    if (!sanitizer) return sanitizer.error();
    sites.sanitizer = *sanitizer;
    if (sites.sanitizer.count != tables.itemCount) {
        return Refuse("the sanitiser at " + SiteHex(sites.sanitizer.offset) + " keeps " + std::to_string(sites.sanitizer.count) +
                      " items, not the " + std::to_string(tables.itemCount) + " the item table is said to hold");
    }
    auto words = GetterWords(rom, FindGetters(rom, calls));
    if (!words) return words.error();
    const auto tableWord = kRomBase + static_cast<std::uint32_t>(tables.itemTable);
    for (const LiteralSite& word : *words) {
        if (word.value != tableWord) {
            return Refuse("the getter loading the word at " + SiteHex(word.wordAt) + ": expected the item table " +
                          SiteHex(tableWord) + ", found " + SiteHex(word.value));
        }
    }
    sites.itemTableWords = std::move(*words);
    if (released.headerWord) {
        const std::uint32_t header = thumb::Inside(rom, kHeaderItemTableWord, 4) ? ReadLe32(rom, kHeaderItemTableWord) : 0;
        if (header != tableWord) {
            return Refuse("the header word at " + SiteHex(kHeaderItemTableWord) + ": expected the item table " +
                          SiteHex(tableWord) + ", found " + SiteHex(header));
        }
        sites.headerWord = true;
    }
    if (released.iconTable) {
        if (tables.iconTable == 0) return Refuse("this game has an item icon table, and none was given");
        auto icon = IconOf(rom, sites.family, tables, calls);
        if (!icon) return icon.error();
        sites.icon = std::move(*icon);
    }
    if (tables.effectTable != 0) {
        auto effects = FindEffectSites(rom, sites.family, tables.effectTable);
        if (!effects) return effects.error();
        sites.effects = std::move(*effects);
    }
    return sites;
}

}  // namespace quillbox
