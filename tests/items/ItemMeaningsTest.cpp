// What the coded bytes of the item record mean: facts from the games per family, and the round
// trips between values, names and texts that the front ends rely on.
#include "items/record/ItemMeanings.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::test {
namespace {

const GameFamily& Family(std::string_view code) { return *FindGameFamily(code); }

std::string Folded(std::string_view text)
{
    std::string folded;
    for (char c : text) {
        if (c != ' ') folded.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    return folded;
}

TEST(ItemMeaningsTest, NamesTheValuesEachGameKnows)
{
    struct Fact {
        std::string_view game;
        Meaning meaning;
        int value;
        std::optional<std::string_view> name;
        bool last;  // the highest value the table names
    };
    const Fact facts[] = {
        {"BPR", Meaning::HoldEffect, 1, "Restores HP", false}, {"BPR", Meaning::HoldEffect, 6, "Cures freeze", false},
        {"BPR", Meaning::HoldEffect, 2, "Cures paralysis", false},
        {"BPR", Meaning::HoldEffect, 29, "Choice Band", false}, {"BPR", Meaning::HoldEffect, 43, "Leftovers", false},
        {"BPG", Meaning::HoldEffect, 58, "Boosts Fire moves", false}, {"BPE", Meaning::HoldEffect, 66, "Stick", true},
        {"AXV", Meaning::HoldEffect, 66, "Stick", true}, {"AXP", Meaning::HoldEffect, 67, std::nullopt, false},
        {"BPR", Meaning::BattleUsage, 3, "Opens the Berry Pouch", true},
        {"BPE", Meaning::BattleUsage, 3, std::nullopt, false}, {"AXV", Meaning::BattleUsage, 2, "From the bag", true},
        {"BPR", Meaning::ItemType, 3, "Unused", false}, {"BPE", Meaning::ItemType, 3, "Pokeblock case", false},
        {"AXV", Meaning::ItemType, 4, "Bag menu", true}, {"BPR", Meaning::Pocket, 3, "Poke Balls", false},
        {"BPE", Meaning::Pocket, 2, "Poke Balls", false}, {"AXV", Meaning::Pocket, 5, "Key Items", true},
        {"BPE", Meaning::Importance, 2, "Important, kept out of the PC", true},
        {"BPR", Meaning::RodKind, 0, "Old Rod", false}, {"BPE", Meaning::BallKind, 11, "Premier Ball", true},
        {"BPR", Meaning::SecondaryId, 0, std::nullopt, false},
    };
    for (const Fact& fact : facts) {
        SCOPED_TRACE(std::string(fact.game) + " " + std::to_string(fact.value));
        EXPECT_EQ(NameOf(fact.meaning, Family(fact.game), fact.value), fact.name);
        if (fact.last) {
            EXPECT_EQ(MeaningEntries(fact.meaning, Family(fact.game)).back().value, fact.value);
        }
    }
}

TEST(ItemMeaningsTest, EveryValueOfEveryMeaningRoundTrips)
{
    std::set<std::string_view> helps;
    for (int m = static_cast<int>(Meaning::HoldEffect); m <= static_cast<int>(Meaning::BikeKind); ++m) {
        const Meaning meaning = static_cast<Meaning>(m);
        EXPECT_TRUE(helps.insert(MeaningHelp(meaning)).second && !MeaningHelp(meaning).empty()) << m;
        for (const GameFamily& family : AllGameFamilies()) {
            SCOPED_TRACE(std::string(family.codes[0]) + " meaning " + std::to_string(m));
            const auto entries = MeaningEntries(meaning, family);
            std::set<std::string> names;
            for (std::size_t i = 0; i < entries.size(); ++i) {
                EXPECT_TRUE(!entries[i].name.empty() && names.insert(Folded(entries[i].name)).second);
                EXPECT_TRUE(i == 0 || entries[i - 1].value < entries[i].value);
                if (meaning == Meaning::Pocket) {
                    EXPECT_EQ(entries[i].name, family.pocketNames[entries[i].value]);
                }
            }
            for (int value = 0; value < 256; ++value) {
                const std::string number = std::to_string(value);
                EXPECT_EQ(ValueOfName(meaning, family, number), value);
                EXPECT_EQ(ValueOfName(meaning, family, NumberAndName(meaning, family, value)), value);
                const auto name = NameOf(meaning, family, value);
                if (!name) {
                    EXPECT_EQ(NumberAndName(meaning, family, value), number);
                    continue;
                }
                EXPECT_EQ(ValueOfName(meaning, family, *name), value);
                EXPECT_EQ(ValueOfName(meaning, family, Folded(*name)), value);
                EXPECT_EQ(ValueOfName(meaning, family, "  " + number + "  " + std::string(*name) + " "), value);
            }
        }
    }
}

TEST(ItemMeaningsTest, TextsThatNameNoValueGiveNothing)
{
    for (std::string_view text : {"", "  ", "256", "4294967296", "-1", "Nonsense", "43 Choice Band", "Leftovers 43"}) {
        EXPECT_EQ(ValueOfName(Meaning::HoldEffect, Family("BPR"), text), std::nullopt) << '"' << text << '"';
    }
    EXPECT_EQ(ValueOfName(Meaning::HoldEffect, Family("AXV"), "43 LEFT overs"), 43);
    EXPECT_EQ(ValueOfName(Meaning::BattleUsage, Family("BPE"), "Opens the Berry Pouch"), std::nullopt);
}

TEST(ItemMeaningsTest, SecondaryIdMeaningFollowsPocketTypeAndRoutine)
{
    struct Case {
        std::string_view game;
        int pocket;
        int type;
        std::vector<int> sameFieldRoutine;
        Meaning expected;
    };
    const Case cases[] = {
        {"BPR", 2, 2, {262, 263, 264}, Meaning::RodKind},       // FireRed's Old Rod
        {"BPR", 2, 2, {262, 263, 264, 374}, Meaning::RodKind},  // a hack's new rod on the same routine
        {"BPR", 3, 0, {}, Meaning::BallKind},
        {"BPE", 2, 0, {}, Meaning::BallKind},
        {"BPE", 1, 0, {121, 122}, Meaning::MailDesign},
        {"AXV", 5, 2, {259, 272}, Meaning::BikeKind},
        {"BPR", 2, 2, {259, 272, 360}, Meaning::BikeKind},
        {"BPE", 5, 4, {360}, Meaning::SecondaryId},  // Emerald's unused Bicycle slot is no bike
        {"BPE", 3, 1, {}, Meaning::SecondaryId},     // Emerald's pocket 3 holds TMs, not balls
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SecondaryIdMeaningOf(Family(c.game), c.pocket, c.type, c.sameFieldRoutine), c.expected)
            << c.game << " pocket " << c.pocket;
    }
    EXPECT_EQ(ItemTypeMeaningOf(Family("BPR"), 3), Meaning::BallKind);
    EXPECT_EQ(ItemTypeMeaningOf(Family("BPE"), 3), Meaning::ItemType);
}

TEST(ItemMeaningsTest, ExplainsWhatTheHoldEffectDoesWithItsParameter)
{
    struct Case {
        std::string_view game;
        int holdEffect;
        int parameter;
        std::string_view expected;
    };
    const Case cases[] = {
        {"BPR", 1, 10, "Restores HP at half HP or less: 10 HP"},
        {"AXV", 10, 8, "Restores at half HP or less, confusing a Pokemon that dislikes the flavor: 1/8 of max HP"},
        {"BPR", 15, 4, "Raises Attack once HP is at or below: 1/4 of max HP"},
        {"BPR", 21, 0, "Sharply raises a random stat once HP is at or below: 1/0 of max HP (a division by zero)"},
        {"BPE", 26, 20, "Chance to move first: 20%"},
        {"AXV", 30, 10, "Chance that a damaging move makes the target flinch: 10%"},
        {"BPR", 58, 10, "Boosts Fire moves: 10%"},
        {"BPR", 62, 8, "Heals the holder by a share of the damage it deals: 1/8"},
        {"BPR", 43, 7, "Not read by this hold effect: 7"},
        {"AXV", 200, 5, "Not read by this hold effect: 5"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExplainHoldEffectParameter(Family(c.game), c.holdEffect, c.parameter), c.expected);
    }
}

}  // namespace
}  // namespace quillbox::test
