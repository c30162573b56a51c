#include "sample/SampleCodeSites.h"

#include "base/LittleEndian.h"

#include <array>
#include <utility>

namespace quillbox {

namespace {

constexpr std::uint32_t kBase = 0x08000000u;
// A table in work RAM: what a look-alike loads, naming no place of the ROM.
constexpr std::uint32_t kRamTable = 0x02025000u;

// A function written halfword by halfword, its PC-relative literals pooled after its code, as
// the games' compiler pools them (each function word-aligned).
class Function {
public:
    Function(Bytes& rom, std::int64_t start) : rom_(rom), start_(start), at_(start) {}

    std::int64_t Start() const { return start_; }
    std::int64_t At() const { return at_; }
    Function& H(std::uint16_t h)
    {
        PutLittleEndian(rom_, static_cast<std::size_t>(at_), h, 2);
        at_ += 2;
        return *this;
    }
    Function& Hs(std::initializer_list<std::uint16_t> hs)
    {
        for (const std::uint16_t h : hs) H(h);
        return *this;
    }
    // ldr rN, =value
    Function& Ldr(int reg, std::uint32_t value)
    {
        loads_.push_back({at_, reg, pool_.size()});
        pool_.push_back(value);
        return H(0);
    }
    Function& Bl(std::int64_t target)
    {
        const std::int64_t offset = target - (at_ + 4);
        H(static_cast<std::uint16_t>(0xF000 | ((offset >> 12) & 0x7FF)));
        return H(static_cast<std::uint16_t>(0xF800 | ((offset >> 1) & 0x7FF)));
    }
    // After End: the k-th `ldr` and the word it loads.
    std::int64_t LoadAt(std::size_t k) const { return loads_[k].at; }
    std::int64_t WordOfLoad(std::size_t k) const { return places_[loads_[k].index]; }
    // Pads with 0 to a word, lays the pool out and returns the next word-aligned place.
    std::int64_t End()
    {
        if (at_ % 4 != 0) H(0);
        std::vector<std::int64_t>& places = places_;
        for (const std::uint32_t word : pool_) {
            places.push_back(at_);
            PutLittleEndian(rom_, static_cast<std::size_t>(at_), word, 4);
            at_ += 4;
        }
        for (const Load& load : loads_) {
            const std::int64_t base = (load.at + 4) & ~std::int64_t{3};
            const auto imm = static_cast<std::uint16_t>((places[load.index] - base) / 4);
            PutLittleEndian(rom_, static_cast<std::size_t>(load.at), static_cast<std::uint16_t>(0x4800 | load.reg << 8 | imm), 2);
        }
        return at_;
    }

private:
    struct Load {
        std::int64_t at;
        int reg;
        std::size_t index;
    };
    Bytes& rom_;
    std::int64_t start_;
    std::int64_t at_;
    std::vector<Load> loads_;
    std::vector<std::uint32_t> pool_;
    std::vector<std::int64_t> places_;
};

std::uint32_t Pointer(std::int64_t offset) { return kBase + static_cast<std::uint32_t>(offset); }

void PutHalf(Bytes& rom, std::int64_t at, std::uint16_t h) { PutLittleEndian(rom, static_cast<std::size_t>(at), h, 2); }
void PutCondBranch(Bytes& rom, std::int64_t at, int condition, std::int64_t target)
{
    PutHalf(rom, at, static_cast<std::uint16_t>(0xD000 | condition << 8 | (((target - (at + 4)) / 2) & 0xFF)));
}
void PutB(Bytes& rom, std::int64_t at, std::int64_t target)
{
    PutHalf(rom, at, static_cast<std::uint16_t>(0xE000 | (((target - (at + 4)) / 2) & 0x7FF)));
}
void PutBl(Bytes& rom, std::int64_t at, std::int64_t target)
{
    const std::int64_t offset = target - (at + 4);
    PutHalf(rom, at, static_cast<std::uint16_t>(0xF000 | ((offset >> 12) & 0x7FF)));
    PutHalf(rom, at + 2, static_cast<std::uint16_t>(0xF800 | ((offset >> 1) & 0x7FF)));
}

constexpr int kHi = 0x8;
constexpr int kNe = 0x1;

struct WrittenCheck {
    SampleEffectCheck check;
    std::int64_t load = 0;
    std::int64_t word = 0;
    std::int64_t next = 0;
};

// The Pokémon item-effect routines' check (pokefirered PokemonUseItemEffects, subs at 0x08041526,
// and PokemonItemUseNoEffect, 0x08042502; Emerald's and Ruby's alike) with the instructions that
// follow it and its refused way, the id in r4 as the game's is (the game loads it from the stack):
// push {r4-r7, lr}; mov r7-r5, r10-r8; push {r5-r7}; sub sp, #0x3C; adds r4, r0, #0; subs r4, #13;
// lsls r0, r4, #16; lsrs r0, #16; cmp r0, #0xA5; bhi 1f; ldr r1, =table; lsls r0, r4, #2;
// adds r0, r1; ldr r0, [r0]; b 2f; 1: movs r0, #1; b or bl 2f; 2: add sp, #0x3C; pop {r3-r5};
// mov r8-r10, r3-r5; pop {r4-r7}; pop {r1}; bx r1.
WrittenCheck WriteItemEffectCheck(Bytes& rom, std::int64_t at, std::uint32_t table, std::uint16_t bound, bool farBranch,
                                  SampleAlteredSite altered)
{
    WrittenCheck out;
    Function f(rom, at);
    f.Hs({0xB5F0, 0x4657, 0x464E, 0x4645, 0xB4E0, 0xB08F, 0x1C04});
    const std::int64_t subs = f.At();
    f.Hs({0x3C0D, 0x0420, 0x0C00, bound, 0}).Ldr(1, table);
    const std::int64_t writesAfter = f.At();
    f.Hs({altered == SampleAlteredSite::EffectCheckFollower ? std::uint16_t{0x0080} : std::uint16_t{0x00A0}, 0x1840, 0x6800});
    const std::int64_t kept = f.At();
    f.H(0);
    const std::int64_t refusedWay = f.At();
    f.H(altered == SampleAlteredSite::EffectCheckTarget ? 0x3001 : 0x2001);
    const std::int64_t jump = f.At();
    f.H(0);
    if (farBranch) f.H(0);
    const std::int64_t epilogue = f.At();
    f.Hs({0xB00F, 0xBC38, 0x4698, 0x46A1, 0x46AA, 0xBCF0, 0xBC02, 0x4708});
    out.next = f.End();
    PutCondBranch(rom, subs + 8, kHi, refusedWay);
    PutB(rom, kept, epilogue);
    if (farBranch) {
        PutBl(rom, jump, epilogue);
    } else {
        PutB(rom, jump, epilogue);
    }
    out.check = {at, subs, 1, false, writesAfter, refusedWay};
    out.load = f.LoadAt(0);
    out.word = f.WordOfLoad(0);
    return out;
}

// GetItemEffectType's check (pokefirered 0x08126C68, pokeemerald 0x081B7CEC) with what follows:
// push {r4, r5, lr}; lsls r0, #16; lsrs r1, r0, #16; adds r2, r1, #0; subs r2, #13;
// lsls r0, r2, #16; lsrs r0, #16; cmp r0, #0xA5; bls 1f; b 4f; 1: cmp r1, #0xAF; bne 2f;
// ldr r0, =(ENIGMA BERRY's effect); b 5f; 2: ldr r1, =table; lsls r0, r2, #2; adds r0, r1;
// ldr r0, [r0]; b 5f; movs r0, #0x15; 4: movs r0, #0x16; b 5f; 5: pop {r4, r5}; pop {r1}; bx r1.
// The game goes on from the entry to the effect's type; the sample returns the entry.
WrittenCheck WriteEffectTypeCheck(Bytes& rom, std::int64_t at, std::uint32_t table, std::uint16_t bound)
{
    WrittenCheck out;
    Function f(rom, at);
    f.Hs({0xB530, 0x0400, 0x0C01, 0x1C0A});
    const std::int64_t subs = f.At();
    f.Hs({0x3A0D, 0x0410, 0x0C00, bound, 0xD900, 0});
    f.H(0x29AF);
    const std::int64_t bne = f.At();
    f.H(0).Ldr(0, kSampleEnigmaEffect);
    const std::int64_t enigmaDone = f.At();
    f.H(0);
    const std::int64_t fromTable = f.At();
    f.Ldr(1, table);
    const std::int64_t writesAfter = f.At();
    f.Hs({0x0090, 0x1840, 0x6800});
    const std::int64_t entryDone = f.At();
    f.Hs({0, 0x2015});
    const std::int64_t refusedWay = f.At();
    f.H(0x2016);
    const std::int64_t refusedDone = f.At();
    f.H(0);
    const std::int64_t epilogue = f.At();
    f.Hs({0xBC30, 0xBC02, 0x4708});
    out.next = f.End();
    PutB(rom, subs + 10, refusedWay);
    PutCondBranch(rom, bne, kNe, fromTable);
    for (const std::int64_t done : {enigmaDone, entryDone, refusedDone}) PutB(rom, done, epilogue);
    out.check = {at, subs, 0x16, true, writesAfter, refusedWay};
    out.load = f.LoadAt(1);
    out.word = f.WordOfLoad(1);
    return out;
}

}  // namespace

SampleCodePlaces WriteSampleCode(Bytes& rom, const GameFamily& family, const SampleTables& tables, const SampleOptions& options)
{
    const bool kanto = family.codes[0] == "BPR";
    const bool emerald = family.codes[0] == "BPE";
    const int count = tables.itemCount;
    SampleCodePlaces places;
    std::int64_t at = kSampleReleasedCode;

    // SanitizeItemId (pokefirered 0x0809A8A4, pokeemerald 0x080D745C, pokeruby 0x080A98BC):
    // push {lr}; lsls r0, #16; lsrs r1, r0, #16; movs r0, #(count - 1) / 2; lsls r0, #1; cmp r1, r0;
    // bhi; adds r0, r1, #0; b; movs r0, #0; pop {r1}; bx r1. A table a hack enlarged (or the option)
    // has it compare against the count as a word: push {lr}; lsls; lsrs r1; ldr r0, =count;
    // cmp r1, r0; bcc; movs r0, #0; b; adds r0, r1, #0; pop {pc}.
    places.sanitizer = at;
    {
        Function f(rom, at);
        const bool word = options.hack || options.wordSanitizer || count % 2 == 0;
        if (word) {
            f.Hs({0xB500, 0x0400, 0x0C01}).Ldr(0, static_cast<std::uint32_t>(count)).Hs({0x4281, 0xD301, 0x2000, 0xE000, 0x1C08, 0xBD00});
        } else {
            // A hack's own patch: the bound's shift changed to #2 (ids up to (count - 1) * 2 kept).
            const std::uint16_t shift = options.altered == SampleAlteredSite::Sanitizer ? 0x0080 : 0x0040;
            f.Hs({0xB500, 0x0400, 0x0C01, static_cast<std::uint16_t>(0x2000 | (count - 1) / 2), shift, 0x4281, 0xD801,
                  0x1C08, 0xE000, 0x2000, 0xBC02, 0x4708});
        }
        at = f.End();
    }
    // The getters of item.c, each calling the sanitiser and indexing 44-byte records: ItemId_GetItem
    // loads the table after the multiply, the others before the call; Ruby/Sapphire have one more
    // (ItemId_CopyDescription).
    const int getters = family.hasImages ? 14 : 15;
    {
        Function f(rom, at);
        f.Hs({0xB500, 0x0400, 0x0C00}).Bl(places.sanitizer).Hs({0x0400, 0x0C00, 0x212C, 0x4348});
        f.Ldr(1, Pointer(tables.itemData)).Hs({0x1840, 0xBC02, 0x4708});
        at = f.End();
    }
    for (int k = 1; k < getters; ++k) {
        Function f(rom, at);
        f.Hs({0xB510, 0x0400, 0x0C00}).Ldr(4, Pointer(tables.itemData)).Bl(places.sanitizer);
        // ldrb r0, [r0, #field]: the byte fields from 0x12 on, one getter each.
        f.Hs({0x0400, 0x0C00, 0x212C, 0x4348, 0x1900, static_cast<std::uint16_t>(0x7800 | (0x12 + k % 12) << 6), 0xBC10,
              0xBC02, 0x4708});
        at = f.End();
    }
    // Look-alikes: the bound's `movs; lsls #1` as a sound id, a call to the sanitiser whose result
    // is no record index, and a word naming a place 0x1C bytes before the item table, as the berry
    // lookup names its table.
    const std::int64_t sound = at;
    at = Function(rom, at).H(0x4770).End();
    at = Function(rom, at).Hs({0xB500, static_cast<std::uint16_t>(0x2000 | (count - 1) / 2), 0x0040}).Bl(sound).Hs({0xBC01, 0x4700}).End();
    at = Function(rom, at).Hs({0xB500}).Bl(places.sanitizer).Hs({0x2800, 0xD000, 0x2001, 0xBC02, 0x4708}).End();
    at = Function(rom, at).Hs({0xB500}).Ldr(1, Pointer(tables.itemData - 0x1C)).Hs({0x00C0, 0x1840, 0xBC02, 0x4708}).End();

    // The count as a battle-string or music id: the same literal, handed to code no icon routine
    // is reached from.
    for (int k = 0; k < 2; ++k) {
        at = Function(rom, at).Hs({0xB500}).Ldr(0, static_cast<std::uint32_t>(count)).Bl(sound).Hs({0xBC01, 0x4700}).End();
    }

    if (family.hasImages) {
        at = (at + 0x3F) & ~std::int64_t{0x3F};
        places.iconRoutine = at;
        Function f(rom, at);
        if (kanto) {
            // GetItemIconGfxPtr (sub_8098974): ids above the word (the arrow's id) read entry 0.
            const std::uint16_t bls = options.altered == SampleAlteredSite::IconRoutine ? 0xD300 : 0xD900;
            f.Hs({0xB500, 0x0400, 0x0C03, 0x0609, 0x0E09}).Ldr(0, static_cast<std::uint32_t>(count));
            f.Hs({0x4283, bls, 0x2300}).Ldr(2, Pointer(tables.imgData)).Hs({0x0088, 0x00D9, 0x1840, 0x1880, 0x6800, 0xBC02, 0x4708});
            at = f.End();
        } else if ((count - 1) % 2 != 0) {
            // A count whose last id no `movs; lsls #1` holds: the routine as a growth rewrites it,
            // the arrow's id a word, 0xFFFF alone reading the arrow.
            f.Hs({0xB500, 0x0400, 0x0C03, 0x0609, 0x0E09}).Ldr(0, static_cast<std::uint32_t>(count));
            f.Hs({0x4283, 0xD304, 0x1C5A, 0x2300, 0x0C12, 0xD000, 0x1C03}).Ldr(2, Pointer(tables.imgData));
            f.Hs({0x0088, 0x00D9, 0x1840, 0x1880, 0x6800, 0xBC02, 0x4708});
            at = f.End();
            at = Function(rom, at).Hs({0x46C0, 0x46C0, 0x46C0, 0x46C0}).End();
        } else {
            // GetItemIconPicOrPalette: 0xFFFF reads the arrow's entry, ids above count - 1 entry 0.
            // Its first pool sits in the middle of the routine; written whole.
            const std::uint16_t bls = options.altered == SampleAlteredSite::IconRoutine ? 0xD300 : 0xD900;
            const std::array<std::uint16_t, 26> code{0xB500, 0x0400, 0x0C03, 0x0609, 0x0E09, 0x4802, 0x4283, 0xD105, 0x4B01,
                                                     0xE008, 0xFFFF, 0x0000, static_cast<std::uint16_t>(count & 0xFFFF),
                                                     static_cast<std::uint16_t>(count >> 16),
                                                     static_cast<std::uint16_t>(0x2000 | (count - 1) / 2), 0x0040, 0x4283, bls,
                                                     0x2300, 0x4A04, 0x0088, 0x00D9, 0x1840, 0x1880, 0x6800, 0xBC02};
            for (const std::uint16_t h : code) f.H(h);
            f.Hs({0x4708, 0x0000}).End();
            PutLittleEndian(rom, static_cast<std::size_t>(at + 0x38), Pointer(tables.imgData), 4);
            at += 0x3C;
        }
        // AddItemIconObject: the image and the palette of one id.
        const std::int64_t addIcon = at;
        at = Function(rom, at).Hs({0xB5F0, 0x1C07, 0x2100}).Bl(places.iconRoutine).Hs({0x1C38, 0x2101}).Bl(places.iconRoutine)
                 .Hs({0xBCF0, 0xBC02, 0x4708}).End();
        // CreateItemMenuIcon and CreateBerryPouchItemIcon.
        std::array<std::int64_t, 2> creators{};
        for (std::int64_t& creator : creators) {
            creator = at;
            at = Function(rom, at).Hs({0xB570, 0x0400, 0x0C06, 0x1C32}).Bl(addIcon).Hs({0xBC70, 0xBC01, 0x4700}).End();
        }
        if (kanto) {
            // The shop, the bag, the item PC and the Berry Pouch show the Cancel row's arrow by
            // passing its id: ldr r0, =count; (the sprite slot into r1); bl.
            for (int k = 0; k < 4; ++k) {
                places.arrowWords.push_back(at + 0x10);
                at = Function(rom, at).Hs({0xB500}).Ldr(0, static_cast<std::uint32_t>(count)).Hs({0x0609, 0x0F89})
                         .Bl(creators[static_cast<std::size_t>(k % 2)]).Hs({0xBC01, 0x4700}).End();
            }
        }
        // A word naming the icon table's second entry.
        at = Function(rom, at).Hs({0xB500}).Ldr(1, Pointer(tables.imgData + 8)).Hs({0x6808, 0xBC02, 0x4708}).End();
    }

    if (tables.effectData != 0) {
        at = (at + 0x3F) & ~std::int64_t{0x3F};
        // The released checks, in the order the games hold them: FireRed's PokemonItemUseNoEffect
        // reaches its epilogue with a b, the others with a bl.
        enum class Check { EffectType, FarItemEffect, NearItemEffect };
        std::vector<Check> checks;
        if (kanto) checks = {Check::EffectType, Check::FarItemEffect, Check::NearItemEffect};
        if (emerald) checks = {Check::EffectType, Check::FarItemEffect};
        if (!kanto && !emerald) checks = {Check::FarItemEffect};
        // Words the released code loads the table from, less the one of kSampleEffectCode's reader.
        const int readers = (kanto ? 8 : 7) - 1;
        const auto table = Pointer(tables.effectData);
        for (int k = 0; k < readers; ++k) {
            places.effectReaders.push_back(at);
            if (k < static_cast<int>(checks.size())) {
                const std::uint16_t bound = options.altered == SampleAlteredSite::EffectCheck && k == 0 ? 0x28B0 : 0x28A5;
                const bool last = k + 1 == static_cast<int>(checks.size());
                const Check kind = checks[static_cast<std::size_t>(k)];
                const WrittenCheck written =
                    kind == Check::EffectType
                        ? WriteEffectTypeCheck(rom, at, table, bound)
                        : WriteItemEffectCheck(rom, at, table, bound, kind == Check::FarItemEffect,
                                               last ? options.altered : SampleAlteredSite::None);
                places.effectChecks.push_back(written.check);
                places.effectLoads.push_back(written.load);
                places.effectWords.push_back(written.word);
                at = written.next;
                continue;
            }
            // IsHPRecoveryItem and the others reading the entry unchecked.
            Function f(rom, at);
            f.Ldr(1, table).Hs({0x380D, 0x0080, 0x1840, 0x6800, 0x4770});
            at = f.End();
            places.effectLoads.push_back(f.LoadAt(0));
            places.effectWords.push_back(f.WordOfLoad(0));
        }
        // Look-alikes: move ids compared with 0xA5, and an id - 13 checked against 0xA5 in front of
        // a table in work RAM.
        at = Function(rom, at).Hs({0x0400, 0x0C00, 0x28A5, 0xD800, 0x2000, 0x4770}).End();
        at = Function(rom, at).Hs({0xB500, 0x380D, 0x0400, 0x0C00, 0x28A5, 0xD802}).Ldr(1, kRamTable)
                 .Hs({0x0080, 0x1840, 0xBC02, 0x4708}).End();
    }
    return places;
}

Result<SampleCodePlaces> SampleCodeFor(std::string_view headerCode, const SampleOptions& options)
{
    auto tables = SampleTablesFor(headerCode, options);
    if (!tables) return tables.error();
    Bytes scratch(static_cast<std::size_t>(kSampleReleasedCode + kSampleReleasedCodeSize), 0xFF);
    return WriteSampleCode(scratch, *FindGameFamily(GameCodeOf(headerCode)), *tables, options);
}

}  // namespace quillbox
