#include "items/record/ItemMeanings.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <vector>

// The values below rest on the games' own constants and code as the public decompilations show
// them: the hold-effect constants (0 to 66, the same in all three games) and the battle code that
// reads the hold effect's parameter, the item-type constants behind the bag's exit callbacks, the
// pockets, the battle-usage values of the item data, and the field routines that read byte 40.
// The names are our own words.

namespace quillbox {

namespace {

enum class Family { Kanto, Emerald, RubySapphire, Unknown };

Family FamilyOf(const GameFamily& family)
{
    if (family.codes[0] == "BPR") return Family::Kanto;
    if (family.codes[0] == "BPE") return Family::Emerald;
    if (family.codes[0] == "AXV") return Family::RubySapphire;
    return Family::Unknown;
}

constexpr MeaningEntry kHoldEffects[] = {
    {0, "None"},
    {1, "Restores HP"},
    {2, "Cures paralysis"},
    {3, "Cures sleep"},
    {4, "Cures poison"},
    {5, "Cures burn"},
    {6, "Cures freeze"},
    {7, "Restores PP"},
    {8, "Cures confusion"},
    {9, "Cures any status"},
    {10, "Heals, spicy flavor"},
    {11, "Heals, dry flavor"},
    {12, "Heals, sweet flavor"},
    {13, "Heals, bitter flavor"},
    {14, "Heals, sour flavor"},
    {15, "Raises Attack in a pinch"},
    {16, "Raises Defense in a pinch"},
    {17, "Raises Speed in a pinch"},
    {18, "Raises Sp. Atk in a pinch"},
    {19, "Raises Sp. Def in a pinch"},
    {20, "Raises critical hits in a pinch"},
    {21, "Raises a random stat in a pinch"},
    {22, "Lowers foe accuracy"},
    {23, "Restores lowered stats"},
    {24, "Macho Brace"},
    {25, "Exp. Share"},
    {26, "Quick Claw"},
    {27, "Raises friendship"},
    {28, "Cures infatuation"},
    {29, "Choice Band"},
    {30, "King's Rock"},
    {31, "Boosts Bug moves"},
    {32, "Doubles prize money"},
    {33, "Fewer wild encounters"},
    {34, "Soul Dew"},
    {35, "Deep Sea Tooth"},
    {36, "Deep Sea Scale"},
    {37, "Can always run"},
    {38, "Prevents evolution"},
    {39, "Focus Band"},
    {40, "Lucky Egg"},
    {41, "Scope Lens"},
    {42, "Boosts Steel moves"},
    {43, "Leftovers"},
    {44, "Dragon Scale"},
    {45, "Light Ball"},
    {46, "Boosts Ground moves"},
    {47, "Boosts Rock moves"},
    {48, "Boosts Grass moves"},
    {49, "Boosts Dark moves"},
    {50, "Boosts Fighting moves"},
    {51, "Boosts Electric moves"},
    {52, "Boosts Water moves"},
    {53, "Boosts Flying moves"},
    {54, "Boosts Poison moves"},
    {55, "Boosts Ice moves"},
    {56, "Boosts Ghost moves"},
    {57, "Boosts Psychic moves"},
    {58, "Boosts Fire moves"},
    {59, "Boosts Dragon moves"},
    {60, "Boosts Normal moves"},
    {61, "Up-Grade"},
    {62, "Shell Bell"},
    {63, "Lucky Punch"},
    {64, "Metal Powder"},
    {65, "Thick Club"},
    {66, "Stick"},
};

// FireRed and LeafGreen check nothing but non-zero (it cannot be held); Ruby and Sapphire keep an
// item of importance 2 out of the PC, and Emerald's deposit check rejects it as well.
constexpr MeaningEntry kKantoImportance[] = {{0, "Ordinary"}, {1, "Important"}, {2, "Important story item"}};
constexpr MeaningEntry kHoennImportance[] = {{0, "Ordinary"}, {1, "Important"}, {2, "Important, kept out of the PC"}};

// The data holds 0 or 1 (1 on bikes, rods and the like); all three games leave the byte unread.
constexpr MeaningEntry kRegistrability[] = {{0, "Not registrable"}, {1, "Registrable"}};

// The bag's exit callbacks are indexed by type - 1; FireRed's slot 3 is an empty one no item uses.
constexpr MeaningEntry kKantoItemTypes[] = {
    {0, "Mail"}, {1, "Party menu"}, {2, "Field"}, {3, "Unused"}, {4, "Bag menu"}};
constexpr MeaningEntry kHoennItemTypes[] = {
    {0, "Mail"}, {1, "Party menu"}, {2, "Field"}, {3, "Pokeblock case"}, {4, "Bag menu"}};

constexpr MeaningEntry kKantoBattleUsage[] = {
    {0, "Not in battle"}, {1, "On a Pokemon"}, {2, "From the bag"}, {3, "Opens the Berry Pouch"}};
constexpr MeaningEntry kHoennBattleUsage[] = {{0, "Not in battle"}, {1, "On a Pokemon"}, {2, "From the bag"}};

// Mail and balls keep their place among their kind in byte 40 (balls in byte 27 too); the games
// themselves pick the design and the ball by item id.
constexpr MeaningEntry kMailDesigns[] = {
    {0, "Orange Mail"}, {1, "Harbor Mail"}, {2, "Glitter Mail"}, {3, "Mech Mail"},
    {4, "Wood Mail"},   {5, "Wave Mail"},   {6, "Bead Mail"},    {7, "Shadow Mail"},
    {8, "Tropic Mail"}, {9, "Dream Mail"},  {10, "Fab Mail"},    {11, "Retro Mail"}};
constexpr MeaningEntry kBallKinds[] = {
    {0, "Master Ball"}, {1, "Ultra Ball"}, {2, "Great Ball"},  {3, "Poke Ball"},
    {4, "Safari Ball"}, {5, "Net Ball"},   {6, "Dive Ball"},   {7, "Nest Ball"},
    {8, "Repeat Ball"}, {9, "Timer Ball"}, {10, "Luxury Ball"}, {11, "Premier Ball"}};
// The fishing routine starts with byte 40 as the rod in all three games.
constexpr MeaningEntry kRodKinds[] = {{0, "Old Rod"}, {1, "Good Rod"}, {2, "Super Rod"}};
// Ruby, Sapphire and Emerald ride the Mach Bike for 0 and the Acro Bike otherwise; FireRed's bicycle
// routine does not look at the byte.
constexpr MeaningEntry kBikeKinds[] = {{0, "Mach Bike"}, {1, "Acro Bike"}};

// Released item ids (positions in the item table) of the items whose field routine reads byte 40.
constexpr int kRodItems[] = {262, 263, 264};
constexpr int kKantoBikeItems[] = {259, 272, 360};
constexpr int kHoennBikeItems[] = {259, 272};

constexpr int kKantoBallPocket = 3;
constexpr int kHoennBallPocket = 2;
constexpr int kMailType = 0;

std::span<const MeaningEntry> PocketEntries(const GameFamily& family)
{
    static const std::vector<std::vector<MeaningEntry>> tables = [] {
        std::vector<std::vector<MeaningEntry>> built;
        for (const GameFamily& known : AllGameFamilies()) {
            std::vector<MeaningEntry>& entries = built.emplace_back();
            for (std::size_t i = 0; i < known.pocketNames.size(); ++i) {
                entries.push_back({static_cast<int>(i), known.pocketNames[i]});
            }
        }
        return built;
    }();
    const std::span<const GameFamily> families = AllGameFamilies();
    for (std::size_t i = 0; i < families.size(); ++i) {
        if (families[i].codes[0] == family.codes[0]) return tables[i];
    }
    return {};
}

std::string Folded(std::string_view text)
{
    std::string folded;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return folded;
}

std::string_view Trimmed(std::string_view text)
{
    const auto isSpace = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
    return text;
}

std::string WithValue(std::string_view what, int value, std::string_view unit)
{
    return std::string(what) + ": " + std::to_string(value) + std::string(unit);
}

// The pinch berries and the confusion berries divide by the parameter.
std::string ShareOf(std::string_view what, int divisor, std::string_view ofWhat)
{
    std::string text = std::string(what) + ": 1/" + std::to_string(divisor) + std::string(ofWhat);
    if (divisor == 0) text += " (a division by zero)";
    return text;
}

}  // namespace

std::span<const MeaningEntry> MeaningEntries(Meaning meaning, const GameFamily& family)
{
    const bool kanto = FamilyOf(family) == Family::Kanto;
    switch (meaning) {
    case Meaning::HoldEffect: return kHoldEffects;
    case Meaning::Importance: return kanto ? std::span<const MeaningEntry>(kKantoImportance) : kHoennImportance;
    case Meaning::Registrability: return kRegistrability;
    case Meaning::Pocket: return PocketEntries(family);
    case Meaning::ItemType: return kanto ? std::span<const MeaningEntry>(kKantoItemTypes) : kHoennItemTypes;
    case Meaning::BattleUsage: return kanto ? std::span<const MeaningEntry>(kKantoBattleUsage) : kHoennBattleUsage;
    case Meaning::MailDesign: return kMailDesigns;
    case Meaning::BallKind: return kBallKinds;
    case Meaning::RodKind: return kRodKinds;
    case Meaning::BikeKind: return kBikeKinds;
    case Meaning::None:
    case Meaning::SecondaryId: break;
    }
    return {};
}

std::optional<std::string_view> NameOf(Meaning meaning, const GameFamily& family, int value)
{
    const std::span<const MeaningEntry> entries = MeaningEntries(meaning, family);
    const auto found = std::lower_bound(entries.begin(), entries.end(), value,
                                        [](const MeaningEntry& entry, int wanted) { return entry.value < wanted; });
    if (found == entries.end() || found->value != value) return std::nullopt;
    return found->name;
}

std::string NumberAndName(Meaning meaning, const GameFamily& family, int value)
{
    std::string text = std::to_string(value);
    if (const auto name = NameOf(meaning, family, value)) {
        text += ' ';
        text += *name;
    }
    return text;
}

std::optional<int> ValueOfName(Meaning meaning, const GameFamily& family, std::string_view text)
{
    text = Trimmed(text);
    if (text.empty()) return std::nullopt;
    if (std::isdigit(static_cast<unsigned char>(text.front()))) {
        int value = 0;
        std::size_t digits = 0;
        while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) {
            value = value * 10 + (text[digits] - '0');
            if (value > 255) return std::nullopt;
            ++digits;
        }
        const std::string rest = Folded(text.substr(digits));
        if (rest.empty()) return value;
        const auto name = NameOf(meaning, family, value);
        if (name && Folded(*name) == rest) return value;
        return std::nullopt;
    }
    const std::string wanted = Folded(text);
    for (const MeaningEntry& entry : MeaningEntries(meaning, family)) {
        if (Folded(entry.name) == wanted) return entry.value;
    }
    return std::nullopt;
}

std::string ExplainHoldEffectParameter(const GameFamily& /*family*/, int holdEffect, int parameter)
{
    switch (holdEffect) {
    case 1: return WithValue("Restores HP at half HP or less", parameter, " HP");
    case 7: return WithValue("Restores PP to a move that ran out", parameter, " PP");
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
        return ShareOf("Restores at half HP or less, confusing a Pokemon that dislikes the flavor", parameter,
                       " of max HP");
    case 15: return ShareOf("Raises Attack once HP is at or below", parameter, " of max HP");
    case 16: return ShareOf("Raises Defense once HP is at or below", parameter, " of max HP");
    case 17: return ShareOf("Raises Speed once HP is at or below", parameter, " of max HP");
    case 18: return ShareOf("Raises Sp. Atk once HP is at or below", parameter, " of max HP");
    case 19: return ShareOf("Raises Sp. Def once HP is at or below", parameter, " of max HP");
    case 20: return ShareOf("Raises the critical-hit ratio once HP is at or below", parameter, " of max HP");
    case 21: return ShareOf("Sharply raises a random stat once HP is at or below", parameter, " of max HP");
    case 22: return WithValue("Lowers the accuracy of moves aimed at the holder by", parameter, "%");
    case 26: return WithValue("Chance to move first", parameter, "%");
    case 30: return WithValue("Chance that a damaging move makes the target flinch", parameter, "%");
    case 39: return WithValue("Chance to survive a knockout with 1 HP", parameter, "%");
    case 62: return ShareOf("Heals the holder by a share of the damage it deals", parameter, "");
    default: break;
    }
    // The type-boosting effects raise the attacking stat of their type's moves by the parameter, in
    // percent; their names say which type.
    const bool typeBoost = holdEffect == 31 || holdEffect == 42 || (holdEffect >= 46 && holdEffect <= 60);
    if (typeBoost) {
        const auto entry = std::find_if(std::begin(kHoldEffects), std::end(kHoldEffects),
                                        [&](const MeaningEntry& e) { return e.value == holdEffect; });
        return WithValue(entry->name, parameter, "%");
    }
    return WithValue("Not read by this hold effect", parameter, "");
}

Meaning SecondaryIdMeaningOf(const GameFamily& family, int pocket, int type, std::span<const int> sameFieldRoutine)
{
    const Family which = FamilyOf(family);
    if (which == Family::Unknown) return Meaning::SecondaryId;
    const bool kanto = which == Family::Kanto;
    if (pocket == (kanto ? kKantoBallPocket : kHoennBallPocket)) return Meaning::BallKind;
    if (type == kMailType) return Meaning::MailDesign;
    const auto shares = [&](std::span<const int> released) {
        return std::find_first_of(sameFieldRoutine.begin(), sameFieldRoutine.end(), released.begin(),
                                  released.end()) != sameFieldRoutine.end();
    };
    if (shares(kRodItems)) return Meaning::RodKind;
    if (shares(kanto ? std::span<const int>(kKantoBikeItems) : kHoennBikeItems)) return Meaning::BikeKind;
    return Meaning::SecondaryId;
}

Meaning ItemTypeMeaningOf(const GameFamily& family, int pocket)
{
    const Family which = FamilyOf(family);
    if (which == Family::Unknown) return Meaning::ItemType;
    return pocket == (which == Family::Kanto ? kKantoBallPocket : kHoennBallPocket) ? Meaning::BallKind
                                                                                      : Meaning::ItemType;
}

std::string_view MeaningHelp(Meaning meaning)
{
    switch (meaning) {
    case Meaning::None: return "A byte with no known meaning to the game.";
    case Meaning::HoldEffect: return "What the item does when a Pokémon holds it.";
    case Meaning::Importance:
        return "Whether the item is important: an important item cannot be held, and in Ruby, Sapphire and "
               "Emerald a 2 also keeps it out of the PC.";
    case Meaning::Registrability:
        return "A mark on the items meant for the Select button; the games never read it and offer Register for "
               "every key item.";
    case Meaning::Pocket: return "The bag pocket the item goes into.";
    case Meaning::ItemType:
        return "How the bag hands the item over when it is used: mail, party menu, field, Pokéblock case (Ruby, "
               "Sapphire, Emerald) or staying in the bag.";
    case Meaning::BattleUsage:
        return "Whether the item can be used in battle: not at all, on a Pokémon, from the bag, or (FireRed and "
               "LeafGreen) by opening the Berry Pouch.";
    case Meaning::SecondaryId:
        return "An extra number for the item's field routine; what it means depends on that routine.";
    case Meaning::MailDesign:
        return "Which mail this is, kept in step with its place among the mail; the games draw mail by item id.";
    case Meaning::BallKind:
        return "Which Poké Ball this is, kept in step with its place among the balls; the games pick the ball by "
               "item id.";
    case Meaning::RodKind: return "Which fishing rod this is; the fishing routine starts with it.";
    case Meaning::BikeKind:
        return "Which bike this is: Mach or Acro in Ruby, Sapphire and Emerald; FireRed and LeafGreen ride their "
               "one bicycle whatever it says.";
    }
    return {};
}

}  // namespace quillbox
