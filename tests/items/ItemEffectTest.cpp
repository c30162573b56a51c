// The item-effect record: its length, its codec, its words and its editable fields, held against
// records and facts written out by hand.
#include "items/effect/ItemEffect.h"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <random>
#include <string>
#include <string_view>

namespace quillbox::test {
namespace {

// Which bits of each flag byte take an argument byte, as the game's item-effect code reads them.
constexpr std::array<Byte, 6> kArgumentBits{0x00, 0x00, 0x00, 0x00, 0x0F, 0xEF};

TEST(ItemEffectCodecTest, EveryFlagByteValueKeepsItsBytesAndLength)
{
    for (std::size_t flagByte = 0; flagByte < 6; ++flagByte) {
        for (int value = 0; value < 256; ++value) {
            Bytes record(6, 0);
            record[flagByte] = static_cast<Byte>(value);
            const int arguments = std::popcount(static_cast<unsigned>(value & kArgumentBits[flagByte]));
            record.resize(static_cast<std::size_t>(6 + arguments), 0);
            SCOPED_TRACE("byte " + std::to_string(flagByte) + " = " + std::to_string(value));
            EXPECT_EQ(ItemEffectLength(record), 6 + arguments);
            Bytes runningOn = record;
            runningOn.push_back(0x99);
            auto effect = DecodeItemEffect(runningOn);
            ASSERT_TRUE(effect) << effect.error().message;
            auto encoded = EncodeItemEffect(*effect);
            ASSERT_TRUE(encoded) << encoded.error().message;
            EXPECT_EQ(*encoded, record);
            if (arguments > 0) {
                EXPECT_FALSE(DecodeItemEffect(Bytes(record.begin(), record.end() - 1)));
            }
        }
    }
}

TEST(ItemEffectCodecTest, GeneratedEffectsComeBackFromTheirBytes)
{
    std::mt19937 random(20240611);
    const auto chance = [&] { return (random() & 1) != 0; };
    const auto stages = [&](int maximum) { return static_cast<std::uint8_t>(random() % static_cast<unsigned>(maximum + 1)); };
    const auto amount = [&]() -> std::optional<std::int8_t> {
        if (!chance()) return std::nullopt;
        return static_cast<std::int8_t>(static_cast<int>(random() % 256) - 128);
    };
    const auto unsignedAmount = [&]() -> std::optional<std::uint8_t> {
        if (!chance()) return std::nullopt;
        return static_cast<std::uint8_t>(random() % 256);
    };
    for (int i = 0; i < 3000; ++i) {
        ItemEffect effect{stages(15), stages(3), chance(), chance(), stages(15), stages(15), stages(15), stages(15),
                          chance(), chance(), chance(), chance(), chance(), chance(), chance(), chance(),
                          amount(), amount(), unsignedAmount(), unsignedAmount(), chance(), chance(), chance(), chance(),
                          amount(), amount(), amount(), amount(), chance(), amount(), amount(), amount()};
        const int present = effect.hpEvs.has_value() + effect.attackEvs.has_value() + effect.healHp.has_value() +
                            effect.restorePp.has_value() + effect.defenseEvs.has_value() + effect.speedEvs.has_value() +
                            effect.specialDefenseEvs.has_value() + effect.specialAttackEvs.has_value() +
                            effect.friendshipLow.has_value() + effect.friendshipMiddle.has_value() +
                            effect.friendshipHigh.has_value();
        auto encoded = EncodeItemEffect(effect);
        ASSERT_TRUE(encoded) << encoded.error().message;
        EXPECT_EQ(encoded->size(), static_cast<std::size_t>(6 + present));
        auto decoded = DecodeItemEffect(*encoded);
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(*decoded, effect) << "case " << i;
    }
}

TEST(ItemEffectCodecTest, ArgumentsGoToTheirFlagsInTheGamesOrder)
{
    // Every flag of bytes 4 and 5 set: revive, one-move-only, PP Up, the stone and PP Max take none.
    const Bytes record{0, 0, 0, 0, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0xF6, 10, 11, 12, 13};
    EXPECT_EQ(ItemEffectLength(record), 17);
    auto effect = DecodeItemEffect(record);
    ASSERT_TRUE(effect) << effect.error().message;
    EXPECT_EQ(effect->hpEvs, 1);
    EXPECT_EQ(effect->attackEvs, 2);
    EXPECT_EQ(effect->healHp, 3);
    EXPECT_EQ(effect->restorePp, 4);
    EXPECT_EQ(effect->defenseEvs, 5);
    EXPECT_EQ(effect->speedEvs, 6);
    EXPECT_EQ(effect->specialDefenseEvs, 7);
    EXPECT_EQ(effect->specialAttackEvs, 8);
    EXPECT_EQ(effect->friendshipLow, -10);
    EXPECT_EQ(effect->friendshipMiddle, 10);
    EXPECT_EQ(effect->friendshipHigh, 11);
    EXPECT_TRUE(effect->revive && effect->oneMoveOnly && effect->ppUp && effect->evolutionStone && effect->ppMax);
    // An HP or PP amount is never signed.
    auto high = DecodeItemEffect(Bytes{0, 0, 0, 0, 0x0C, 0, 0xF6, 0xF0});
    ASSERT_TRUE(high);
    EXPECT_EQ(high->healHp, 246);
    EXPECT_EQ(high->restorePp, 240);
}

struct RealRecord {
    std::string_view item;
    Bytes bytes;
    std::string words;
};

void PrintTo(const RealRecord& row, std::ostream* out) { *out << row.item; }

class RealRecordTest : public ::testing::TestWithParam<RealRecord> {};

TEST_P(RealRecordTest, ReadsAsTheGameUsesIt)
{
    auto effect = DecodeItemEffect(GetParam().bytes);
    ASSERT_TRUE(effect) << effect.error().message;
    EXPECT_EQ(ItemEffectSummary(*effect), GetParam().words);
    EXPECT_EQ(*EncodeItemEffect(*effect), GetParam().bytes);
}

constexpr std::string_view kVitaminFriendship = "Changes friendship by +5 / +3 / +2 (below 100 / 100 to 199 / 200 and up)";
constexpr std::string_view kBattleFriendship = "Changes friendship by +1 / +1 / 0 (below 100 / 100 to 199 / 200 and up)";

// The records of the games' item-effect table.
INSTANTIATE_TEST_SUITE_P(
    Games, RealRecordTest,
    ::testing::Values(
        RealRecord{"Potion", {0, 0, 0, 0, 0x04, 0, 20}, "Restores 20 HP"},
        RealRecord{"HyperPotion", {0, 0, 0, 0, 0x04, 0, 200}, "Restores 200 HP"},
        RealRecord{"OranBerry", {0, 0, 0, 0, 0x04, 0, 10}, "Restores 10 HP"},
        RealRecord{"FullRestore", {0, 0, 0, 0x3F, 0x04, 0, 0xFF}, "Restores all its HP; Cures all status problems and confusion"},
        RealRecord{"FullHeal", {0, 0, 0, 0x3F, 0, 0}, "Cures all status problems and confusion"},
        RealRecord{"Antidote", {0, 0, 0, 0x10, 0, 0}, "Cures poison"},
        RealRecord{"RedFlute", {0x80, 0, 0, 0, 0, 0}, "Cures infatuation"},
        RealRecord{"PersimBerry", {0, 0, 0, 0x01, 0, 0}, "Cures confusion"},
        RealRecord{"IceHeal", {0, 0, 0, 0x04, 0, 0}, "Cures freeze"},
        RealRecord{"AllButFreeze", {0x80, 0, 0, 0x3B, 0, 0}, "Cures sleep, poison, burn, paralysis, confusion and infatuation"},
        RealRecord{"Revive", {0, 0, 0, 0, 0x44, 0, 0xFE}, "Revives with half its HP"},
        RealRecord{"MaxRevive", {0, 0, 0, 0, 0x44, 0, 0xFF}, "Revives with all its HP"},
        RealRecord{"SacredAsh", {0x40, 0, 0, 0, 0x44, 0, 0xFF}, "Used on the whole party; Revives with all its HP"},
        RealRecord{"EnergyPowder", {0, 0, 0, 0, 0x04, 0xE0, 50, 0xFB, 0xFB, 0xF6},
                   "Restores 50 HP; Changes friendship by -5 / -5 / -10 (below 100 / 100 to 199 / 200 and up)"},
        RealRecord{"Protein", {0, 0, 0, 0, 0x02, 0xE0, 10, 5, 3, 2},
                   "Raises Attack EVs by 10 (up to 100); " + std::string(kVitaminFriendship)},
        RealRecord{"Calcium", {0, 0, 0, 0, 0, 0xE8, 10, 5, 3, 2},
                   "Raises Sp. Atk EVs by 10 (up to 100); " + std::string(kVitaminFriendship)},
        RealRecord{"PomegBerry", {0, 0, 0, 0, 0x01, 0xE0, 0xF6, 10, 5, 2},
                   "Lowers HP EVs by 10 (Emerald; FireRed and Ruby read it as a raise); Changes friendship by +10 / +5 / "
                   "+2 (below 100 / 100 to 199 / 200 and up)"},
        RealRecord{"RareCandy", {0, 0, 0, 0x40, 0x44, 0xE0, 253, 5, 3, 2},
                   "Raises its level by 1; Revives with the HP its level-up added; " + std::string(kVitaminFriendship)},
        RealRecord{"PpUp", {0, 0, 0, 0, 0x20, 0xE0, 5, 3, 2},
                   "Raises a move's maximum PP (up to three times); " + std::string(kVitaminFriendship)},
        RealRecord{"PpMax", {0, 0, 0, 0, 0, 0xF0, 5, 3, 2},
                   "Raises a move's PP to its maximum; " + std::string(kVitaminFriendship)},
        RealRecord{"Ether", {0, 0, 0, 0, 0x18, 0, 10}, "Restores 10 PP of one move"},
        RealRecord{"MaxElixir", {0, 0, 0, 0, 0x08, 0, 0x7F}, "Restores all PP of all moves"},
        RealRecord{"XAttack", {0x01, 0, 0, 0, 0, 0x60, 1, 1}, "Raises Attack by 1 stage in battle; " + std::string(kBattleFriendship)},
        RealRecord{"XAccuracy", {0, 0, 0x10, 0, 0, 0x60, 1, 1}, "Raises accuracy by 1 stage in battle; " + std::string(kBattleFriendship)},
        RealRecord{"DireHit", {0x20, 0, 0, 0, 0, 0x60, 1, 1},
                   "Raises the critical-hit ratio in battle; " + std::string(kBattleFriendship)},
        RealRecord{"GuardSpec", {0, 0, 0, 0x80, 0, 0x60, 1, 1},
                   "Prevents stat reduction in battle for 5 turns; " + std::string(kBattleFriendship)},
        RealRecord{"FireStone", {0, 0, 0, 0, 0x80, 0}, "Evolves a Pokémon that evolves with this item"},
        RealRecord{"Nothing", {0, 0, 0, 0, 0, 0}, "No effect when used"}),
    [](const ::testing::TestParamInfo<RealRecord>& row) { return std::string(row.param.item); });

// Every field, in the record's order, under the key the tool, export and import use.
constexpr std::array<std::string_view, 32> kKeys{
    "attackStages", "direHit", "sacredAsh", "curesInfatuation", "speedStages", "defenseStages", "specialAttackStages",
    "accuracyStages", "curesConfusion", "curesParalysis", "curesFreeze", "curesBurn", "curesPoison", "curesSleep",
    "levelUp", "guardSpec", "hpEvs", "attackEvs", "healHp", "restorePp", "oneMoveOnly", "ppUp", "revive",
    "evolutionStone", "defenseEvs", "speedEvs", "specialDefenseEvs", "specialAttackEvs", "ppMax", "friendshipLow",
    "friendshipMiddle", "friendshipHigh"};

TEST(EffectFieldTest, EveryValueOfEveryFieldIsSetReadAndEncoded)
{
    ASSERT_EQ(EffectFields().size(), kKeys.size());
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const EffectField& field = EffectFields()[i];
        EXPECT_EQ(field.key, kKeys[i]);
        EXPECT_EQ(FindEffectField(kKeys[i]), &field);
        for (int value = field.minimum; value <= field.maximum; ++value) {
            ItemEffect effect;
            ASSERT_TRUE(SetEffectField(effect, field.key, std::to_string(value))) << field.key << " " << value;
            EXPECT_EQ(field.get(effect), value);
            EXPECT_EQ(EffectFieldText(effect, field), std::to_string(value));
            auto encoded = EncodeItemEffect(effect);
            ASSERT_TRUE(encoded);
            EXPECT_EQ(*DecodeItemEffect(*encoded), effect);
        }
    }
}

struct SetRow {
    std::string_view key;
    std::string_view text;
    std::string_view textBack;
    Bytes record;  // of a Potion after the change
};

TEST(EffectFieldTest, TextSetsTheRightBits)
{
    const std::array<SetRow, 10> rows{{
        {"healHp", "off", "off", {0, 0, 0, 0, 0, 0}},
        {"healHp", "", "off", {0, 0, 0, 0, 0, 0}},
        {"healHp", " 255 ", "255", {0, 0, 0, 0, 0x04, 0, 0xFF}},
        {"restorePp", "10", "10", {0, 0, 0, 0, 0x0C, 0, 20, 10}},
        {"friendshipHigh", "-1", "-1", {0, 0, 0, 0, 0x04, 0x80, 20, 0xFF}},
        {"specialAttackEvs", "+10", "10", {0, 0, 0, 0, 0x04, 0x08, 20, 10}},
        {"direHit", "2", "2", {0x20, 0, 0, 0, 0x04, 0, 20}},
        {"defenseStages", "3", "3", {0, 0x30, 0, 0, 0x04, 0, 20}},
        {"curesSleep", "YES", "1", {0, 0, 0, 0x20, 0x04, 0, 20}},
        {"revive", "on", "1", {0, 0, 0, 0, 0x44, 0, 20}},
    }};
    for (const SetRow& row : rows) {
        ItemEffect effect;
        effect.healHp = 20;
        ASSERT_TRUE(SetEffectField(effect, row.key, row.text)) << row.key << " " << row.text;
        EXPECT_EQ(EffectFieldText(effect, *FindEffectField(row.key)), row.textBack) << row.key;
        EXPECT_EQ(*EncodeItemEffect(effect), row.record) << row.key << " " << row.text;
    }
}

TEST(EffectFieldTest, RefusalsNameTheFieldOrByteAndChangeNothing)
{
    const std::array<std::pair<std::string_view, std::string_view>, 6> setRefusals{{
        {"healHp", "300"}, {"attackEvs", "128"}, {"attackStages", "16"}, {"direHit", "4"}, {"curesBurn", "maybe"}, {"healHp", "+-5"},
    }};
    const std::array<std::string_view, 6> messages{
        R"(healHp takes 0 to 255 or off, not "300")", R"(attackEvs takes -128 to 127 or off, not "128")",
        R"(attackStages takes 0 to 15, not "16")", R"(direHit takes 0 to 3, not "4")",
        R"(curesBurn takes on or off (1 or 0), not "maybe")", R"(healHp takes 0 to 255 or off, not "+-5")"};
    ItemEffect potion;
    potion.healHp = 20;
    for (std::size_t i = 0; i < setRefusals.size(); ++i) {
        ItemEffect effect = potion;
        const Status status = SetEffectField(effect, setRefusals[i].first, setRefusals[i].second);
        ASSERT_FALSE(status);
        EXPECT_EQ(status.error().code, ErrorCode::BadValue);
        EXPECT_NE(status.error().message.find(messages[i]), std::string::npos) << status.error().message;
        EXPECT_EQ(effect, potion);
    }
    const Status unknown = SetEffectField(potion, "healHP", "20");
    ASSERT_FALSE(unknown);
    EXPECT_NE(unknown.error().message.find("no effect field \"healHP\""), std::string::npos);
    EXPECT_NE(unknown.error().message.find("healHp, restorePp"), std::string::npos);

    ItemEffect tooMany;
    tooMany.speedStages = 16;
    EXPECT_NE(EncodeItemEffect(tooMany).error().message.find("speedStages is 16"), std::string::npos);
    tooMany = {};
    tooMany.direHit = 4;
    EXPECT_NE(EncodeItemEffect(tooMany).error().message.find("direHit is 4"), std::string::npos);

    EXPECT_NE(DecodeItemEffect(Bytes{0, 0, 0, 0, 0x04, 0x20, 20}).error().message.find(
                  "the effect record ends at byte 7; its flags call for 8"),
              std::string::npos);
    EXPECT_NE(DecodeItemEffect(Bytes{0, 0, 0}).error().message.find("ends at byte 3; its flags call for 6"),
              std::string::npos);
}

}  // namespace
}  // namespace quillbox::test
