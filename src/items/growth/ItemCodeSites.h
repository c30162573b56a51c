#pragma once

// Where the games' code assumes how many items there are, found by evidence in the ROM's bytes:
// the released instruction sequences of every such site, as data, with the operand a growth of
// the item table changes. Facts from the public decompilations (pret/pokefirered, pokeemerald and
// pokeruby, whose early history keeps the retail disassembly); offsets found, never assumed,
// since revisions, languages and hacks move the code.

#include "base/Bytes.h"
#include "base/Error.h"
#include "rom/GameFamily.h"
#include "rom/TableFinder.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

enum class CodeFamily { FireRedLeafGreen, Emerald, RubySapphire };
CodeFamily CodeFamilyOf(const GameFamily& family);
std::string_view CodeFamilyName(CodeFamily family);

// What the released code of a family holds: the numbers a ROM must show to be taken for it.
struct ReleasedCode {
    int itemCount;
    int itemTableWords;    // literal words of the getters naming the item table
    bool headerWord;       // the word at 0x1C8 of the header names the item table
    bool iconTable;        // the family has an item icon table
    int arrowCallers;      // callers passing the Cancel row arrow's id as a literal word
    int effectTableWords;  // literal words naming the item-effect table
    int effectChecks;      // `id - 13 <= 0xA5` checks in front of it
};
const ReleasedCode& ReleasedCodeOf(CodeFamily family);


// What a hole of a code form holds.
enum class Operand : std::uint8_t {
    Padding,        // a halfword the assembler filled, read as anything
    BoundHalf,      // imm8 of `movs rN, #imm8; lsls rN, #1`: ids above imm8 << 1 are refused
    CountWord,      // a word: ids at or above it are refused
    AboveWord,      // a word: ids above it are refused (FireRed's icon bound, also the arrow's id)
    ArrowWord,      // a word: the id that 0xFFFF turns into (Emerald's Cancel-row arrow)
    IconTableWord,  // a word naming the item icon table
};

struct Hole {
    std::uint16_t at;  // byte offset in the routine
    Operand operand;
};

// A routine's bytes as halfwords, a hole's bits zero: an imm8 hole is the low byte of the
// halfword at its offset, a word hole two halfwords, padding one. Routines start on a word
// boundary (every function of these games does), so a literal pool lies where the form says.
struct CodeForm {
    std::string_view name;
    std::span<const std::uint16_t> code;
    std::span<const Hole> holes;
    std::string_view evidence;

    std::int64_t Size() const { return 2 * static_cast<std::int64_t>(code.size()); }
};

// The operands of a form found at an offset, in the order of its holes; nothing when a byte
// outside the holes differs.
std::optional<std::vector<std::uint32_t>> MatchForm(std::span<const Byte> rom, std::int64_t offset, const CodeForm& form);
// The form's bytes with these operands (padding written as 0).
Bytes EncodeForm(const CodeForm& form, std::span<const std::uint32_t> operands);

// The sanitiser (`SanitizeItemId`, id > count - 1 -> 0), as released, and the two forms that
// compare against a 32-bit word inside the routine's own 24 bytes: the one Quillbox writes and the
// one a hack that already enlarged the table may have left.
extern const CodeForm kSanitizerReleased;
extern const CodeForm kSanitizerWord;
extern const CodeForm kSanitizerWordPushed;
// FireRed/LeafGreen's `GetItemIconGfxPtr` (id > bound -> 0, the bound word also being the arrow's
// id) and Emerald's `GetItemIconPicOrPalette` (0xFFFF -> the arrow's id, id > bound -> 0), as
// released; and Emerald's routine rewritten to compare against a word, for a bound no
// `movs; lsls` holds.
extern const CodeForm kIconKanto;
extern const CodeForm kIconEmerald;
extern const CodeForm kIconEmeraldWord;

// A literal word and the PC-relative `ldr` that loads it.
struct LiteralSite {
    std::int64_t wordAt = 0;
    std::int64_t loadAt = 0;
    std::uint32_t value = 0;
};

struct SanitizerSite {
    std::int64_t offset = 0;
    const CodeForm* form = nullptr;
    int count = 0;  // ids 0 .. count - 1 are kept
    int getters = 0;  // calls from getters found
};

struct IconSites {
    std::int64_t offset = 0;
    const CodeForm* form = nullptr;
    std::vector<std::uint32_t> operands;  // as MatchForm read them
    int arrowId = 0;          // the id whose entry is the Cancel row's arrow
    int keptBelow = 0;        // ids below it read their own entry
    std::int64_t tableWordAt = 0;
    std::vector<LiteralSite> arrowCallers;  // FireRed/LeafGreen: the four menus' arrow-id words
};

// `subs rX, #13; lsls rY, rX, #16; lsrs rY, rY, #16; cmp rY, #0xA5; bhi|bls` as released, or as a
// growth rewrote it in the same ten bytes, `... lsrs rY, rY, #(16 + k); nop; bne|beq`, the branch
// keeping its own offset: Z is then set exactly when u16(id - 13) < 2^k.
struct EffectCheckSite {
    std::int64_t subsAt = 0;
    int indexRegister = 0;    // rX: id - 13
    int compareRegister = 0;  // rY, proven dead after the check by the instructions its form holds
    int lastIndex = 0;        // entries 0 .. lastIndex (ids 13 .. 13 + lastIndex) pass
    int shift = -1;           // k of a rewritten check; -1 for the released compare
    std::string_view form;    // the released function whose check it is, for messages
};

struct EffectSites {
    std::vector<LiteralSite> tableWords;
    std::vector<EffectCheckSite> checks;
};

// The tables the code is to be found reading.
struct ItemTables {
    std::int64_t itemTable = 0;
    std::int64_t iconTable = 0;    // 0 for Ruby/Sapphire
    std::int64_t effectTable = 0;  // 0: its code is not looked at
    int itemCount = 0;
};

struct ItemCodeSites {
    CodeFamily family = CodeFamily::FireRedLeafGreen;
    SanitizerSite sanitizer;
    std::vector<LiteralSite> itemTableWords;  // one in each getter
    bool headerWord = false;                  // 0x1C8 names the item table
    std::optional<IconSites> icon;
    std::optional<EffectSites> effects;
};

// The item-effect table's references and checks (FindItemCodeSites asks it when it is given the
// table): refused when their number is not the released code's. Every check must let through the
// released 0xA5 + 1 entries, or, after a growth, 2^k of them (k up to kLargestEffectShift), all
// the same; another bound is a hack's own patch, refused. A check whose following instructions (and those
// at its branch's target) differ from the released code's is refused too, naming it: they are
// what proves the rewrite sound.
Result<EffectSites> FindEffectSites(std::span<const Byte> rom, CodeFamily family, std::int64_t effectTable);
inline constexpr int kReleasedEffectLastIndex = 0xA5;

// The k of the rewritten checks for `itemCount` items: the smallest with 2^k >= itemCount - 13, so
// that the grown item-effect table covers ids 13 .. 13 + 2^k - 1 (null from itemCount on). A
// `lsrs #imm5` shifts by at most 31, so k is at most 15 (ids up to 32780); a larger result is
// past what the checks can say in their own bytes.
int EffectShiftFor(int itemCount);
inline constexpr int kLargestEffectShift = 15;

// The six bytes from the check's `lsrs` on that let entries 0 .. 2^shift - 1 through, the branch
// at its end keeping its offset and taking the condition of the outcome it had.
Bytes EffectCheckRewrite(std::span<const Byte> rom, const EffectCheckSite& check, int shift);

// Every site of the family in the ROM, each by its evidence: the getters are the functions
// calling one routine and multiplying its result by 44, and their one PC-relative literal names
// the item table; the routine they call is the sanitiser in one of its forms; the icon routine
// is the one form whose literal names the icon table, and FireRed/LeafGreen's arrow callers load
// the arrow's id into r0 right before calling code that reaches it; the item-effect references are
// literal words naming the table that an `ldr` loads, and its checks are `subs #13; ...; cmp`
// followed by such a load. A count of sites other than the released code's, a site whose bytes
// differ from every form, or a count differing from tables.itemCount is refused (UnsupportedRom,
// naming the site, what was expected and what was found).
Result<ItemCodeSites> FindItemCodeSites(std::span<const Byte> rom, const GameFamily& family, const ItemTables& tables);

// How many items the game's code keeps: the count of the sanitiser the getters call, found as
// FindItemCodeSites finds it but without knowing where the tables are. Refused (UnsupportedRom)
// when no routine is called by the family's number of getters or it matches no form.
Result<int> ItemCountFromCode(std::span<const Byte> rom, const GameFamily& family);

// "0x09A8A4" for messages.
std::string SiteHex(std::int64_t offset);

}  // namespace quillbox
