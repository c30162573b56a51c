#pragma once

#include "base/Error.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// What an item does when it is used on a Pokémon, as the game's item-effect record holds it: six
// flag bytes, then one argument byte for each flag that takes one. Every bit of the flag bytes is
// kept, so that a record decoded and encoded again gives back the same bytes.
//
// The arguments follow in the order the game's item-effect code reads them: byte 4's flags from
// the lowest bit up, then byte 5's, so HP EVs, Attack EVs, the HP amount, the PP amount, Defense,
// Speed, Sp. Def and Sp. Atk EVs, then friendship at low, middle and high friendship. Revive,
// one-move-only, PP Up, PP Max, the evolution stone and bytes 0 to 3 take none: revive and
// one-move-only change how the HP and PP amounts are used.
struct ItemEffect {
    // Battle stages (0 to 15 each, the flag byte's nibble).
    std::uint8_t attackStages = 0;          // byte 0, low 4 bits (X Attack)
    std::uint8_t direHit = 0;               // byte 0, bits 4-5 (0 to 3; any non-zero raises the critical-hit ratio; Dire Hit holds 2)
    bool sacredAsh = false;                 // byte 0, 0x40: the party menu takes the item for Sacred Ash
    bool curesInfatuation = false;          // byte 0, 0x80
    std::uint8_t speedStages = 0;           // byte 1, low 4 bits
    std::uint8_t defenseStages = 0;         // byte 1, high 4 bits
    std::uint8_t specialAttackStages = 0;   // byte 2, low 4 bits (X Special)
    std::uint8_t accuracyStages = 0;        // byte 2, high 4 bits
    // Byte 3.
    bool curesConfusion = false;  // 0x01
    bool curesParalysis = false;  // 0x02
    bool curesFreeze = false;     // 0x04
    bool curesBurn = false;       // 0x08
    bool curesPoison = false;     // 0x10
    bool curesSleep = false;      // 0x20
    bool levelUp = false;         // 0x40
    bool guardSpec = false;       // 0x80
    // Byte 4; the amounts are the arguments of their flags, present exactly when the flag is set.
    // EV amounts raise the stat's EVs up to 100 (and all EVs up to 510). Emerald reads them signed
    // (its EV-lowering berries hold -10); FireRed and Ruby read them as 0 to 255.
    std::optional<std::int8_t> hpEvs;         // 0x01
    std::optional<std::int8_t> attackEvs;     // 0x02
    // 255 all, 254 half the maximum (at least 1), 253 what the last stat calculation added to the
    // maximum HP (Rare Candy's level-up); any other value that many HP. With revive set it is only
    // used on a fainted Pokémon, without it only on one that has not fainted.
    std::optional<std::uint8_t> healHp;       // 0x04
    // Added to the PP and stopped at the move's maximum; the games' "all" is 127.
    std::optional<std::uint8_t> restorePp;    // 0x08
    bool oneMoveOnly = false;                 // 0x10: the PP amount goes to one chosen move, not to all
    bool ppUp = false;                        // 0x20
    bool revive = false;                      // 0x40: takes no argument of its own; without healHp it does nothing
    bool evolutionStone = false;              // 0x80
    // Byte 5.
    std::optional<std::int8_t> defenseEvs;         // 0x01
    std::optional<std::int8_t> speedEvs;           // 0x02
    std::optional<std::int8_t> specialDefenseEvs;  // 0x04
    std::optional<std::int8_t> specialAttackEvs;   // 0x08
    bool ppMax = false;                            // 0x10
    // Signed changes for friendship below 100, 100 to 199 and 200 and up; the game applies the
    // one that fits, and only when the item did something else.
    std::optional<std::int8_t> friendshipLow;      // 0x20
    std::optional<std::int8_t> friendshipMiddle;   // 0x40
    std::optional<std::int8_t> friendshipHigh;     // 0x80

    bool operator==(const ItemEffect&) const = default;
};

inline constexpr int kItemEffectFlagBytes = 6;
// Eleven flags take an argument (four in byte 4, seven in byte 5).
inline constexpr int kItemEffectMaxLength = kItemEffectFlagBytes + 11;

// The length of a record whose six flag bytes are `flags` (fewer than six: 0).
int ItemEffectLength(std::span<const Byte> flags);

// Decodes the record at the start of `bytes` (which may run on past it). Refuses, naming the byte,
// a record cut short.
Result<ItemEffect> DecodeItemEffect(std::span<const Byte> bytes);

// The record's bytes. Refuses, naming the field, a value the record cannot hold (a stage above 15,
// Dire Hit above 3).
Result<Bytes> EncodeItemEffect(const ItemEffect& effect);

// What the effect does in plain words, one sentence each ("Restores 20 HP", "Cures poison",
// "Raises Attack EVs by 10 (up to 100)", ...); empty for an effect that does nothing.
std::vector<std::string> DescribeItemEffect(const ItemEffect& effect);

// The words of a whole effect on one line, or "No effect when used".
std::string ItemEffectSummary(const ItemEffect& effect);

// One editable member of an effect, by the key the tool, export and import use ("healHp",
// "curesBurn", "attackStages", ...). Amounts of a flag that takes an argument are empty (off) or
// a number; flags are 0 or 1; stages are 0 to 15 (Dire Hit, kind Stages, 0 to 3).
enum class EffectFieldKind { Flag, Stages, Amount, SignedAmount };
struct EffectField {
    std::string_view key;
    std::string_view label;  // as the window and the page label it ("Heals HP", "Cures burn", ...)
    EffectFieldKind kind;
    int minimum = 0;
    int maximum = 0;
    // The field's value, empty for an amount whose flag is off. `set` takes a value within the
    // field's range (empty switches an amount off); SetEffectField checks text first.
    std::optional<int> (*get)(const ItemEffect&);
    void (*set)(ItemEffect&, std::optional<int>);
};
std::span<const EffectField> EffectFields();
const EffectField* FindEffectField(std::string_view key);

// The value a text gives a member: a number, empty or "off" for an amount switched off (no
// value), "on"/"off", "1"/"0", "yes"/"no" or "true"/"false" for a flag; not taken when the record
// cannot hold it.
struct EffectFieldValue {
    bool taken = false;
    std::optional<int> value;
};
EffectFieldValue ParseEffectFieldText(const EffectField& field, std::string_view text);

// What a member takes, as its refusals say: "on or off (1 or 0)", "0 to 255 or off", "0 to 15".
std::string EffectFieldRange(const EffectField& field);

// Sets one member from text as typed or given on a command line, as ParseEffectFieldText reads
// it. Refuses (BadValue) what the record cannot hold, naming the field and its range ("healHp takes 0 to 255 or off, not \"300\""),
// and an unknown key, naming the keys.
Status SetEffectField(ItemEffect& effect, std::string_view key, std::string_view text);

// The member as SetEffectField takes it back: "20", "off", "1"/"0".
std::string EffectFieldText(const ItemEffect& effect, const EffectField& field);

}  // namespace quillbox
