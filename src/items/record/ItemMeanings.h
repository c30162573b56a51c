#pragma once

#include "rom/GameFamily.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillbox {

// What a coded byte of the item record means to the game. Each has a table of the values the
// game knows, per game family where they differ; a value without a name is shown as its number
// and saved as it is.
enum class Meaning {
    None,
    HoldEffect,      // byte 18
    Importance,      // byte 24
    Registrability,  // byte 25
    Pocket,          // byte 26
    ItemType,        // byte 27
    BattleUsage,     // byte 32
    SecondaryId,     // byte 40, read by the routine of the item: see SecondaryIdMeaningOf
    MailDesign,      // byte 40 of mail
    BallKind,        // byte 40 (and byte 27) of a Poké Ball
    RodKind,         // byte 40 of a fishing rod
    BikeKind,        // byte 40 of a bike
};

struct MeaningEntry {
    int value;
    std::string_view name;
};

// The values a meaning names for a family, by rising value; gaps are values the game does not know.
std::span<const MeaningEntry> MeaningEntries(Meaning meaning, const GameFamily& family);

// The name of a value, or nothing for a value the game does not know.
std::optional<std::string_view> NameOf(Meaning meaning, const GameFamily& family, int value);

// "43 Leftovers": the number and its name, or the number alone.
std::string NumberAndName(Meaning meaning, const GameFamily& family, int value);

// The value a text stands for: a number ("43"), a name ("Leftovers", any case, spaces or not), or
// both ("43 Leftovers"); nothing when it names no value from 0 to 255.
std::optional<int> ValueOfName(Meaning meaning, const GameFamily& family, std::string_view text);

// What the hold effect's parameter means for that effect, with the value: "Restores HP at half HP
// or less: 10 HP", "Boosts Fire moves: 10%"; for an effect that reads no parameter, "Not read by this
// hold effect: 0". The three games read it alike. With no hold effect the byte still matters to some
// items: a Repel's field routine takes its steps from it.
std::string ExplainHoldEffectParameter(const GameFamily& family, int holdEffect, int parameter);

// How the game reads byte 40 of an item: judged from the item's own pocket and type and from the
// positions of the items that use the same field routine in this ROM (the item itself among them),
// since the routine is what reads the byte: a new rod of a hack that shares the released rods'
// routine is read as a rod. SecondaryId when none applies.
Meaning SecondaryIdMeaningOf(const GameFamily& family, int pocket, int type, std::span<const int> sameFieldRoutine);

// How byte 27 of an item in this pocket is read: a Poké Ball keeps its ball number there (BallKind),
// any other item how the bag hands it over (ItemType).
Meaning ItemTypeMeaningOf(const GameFamily& family, int pocket);

// One sentence on what a meaning is, for a tooltip or status line.
std::string_view MeaningHelp(Meaning meaning);

}  // namespace quillbox
