#include "items/effect/ItemEffect.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <type_traits>

namespace quillbox {

namespace {

template <typename T>
struct IsOptional : std::false_type {};
template <typename T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <auto Member>
std::optional<int> GetMember(const ItemEffect& effect)
{
    const auto& value = effect.*Member;
    using Value = std::remove_cvref_t<decltype(value)>;
    if constexpr (IsOptional<Value>::value) {
        if (!value) return std::nullopt;
        return static_cast<int>(*value);
    } else {
        return static_cast<int>(value);
    }
}

template <auto Member>
void SetMember(ItemEffect& effect, std::optional<int> value)
{
    auto& member = effect.*Member;
    using Value = std::remove_cvref_t<decltype(member)>;
    if constexpr (IsOptional<Value>::value) {
        member = value ? Value(static_cast<typename Value::value_type>(*value)) : std::nullopt;
    } else if constexpr (std::is_same_v<Value, bool>) {
        member = value.value_or(0) != 0;
    } else {
        member = static_cast<Value>(value.value_or(0));
    }
}

// Where a field lives in the flag bytes: `width` bits from `shift` of byte `byte`. An amount's
// flag is one bit; its value is the next argument byte.
struct Slot {
    int byte;
    int shift;
    int width;
};

struct FieldAndSlot {
    EffectField field;
    Slot slot;
};

template <auto Member>
constexpr FieldAndSlot Entry(std::string_view key, std::string_view label, EffectFieldKind kind, int minimum,
                             int maximum, Slot slot)
{
    return {{key, label, kind, minimum, maximum, &GetMember<Member>, &SetMember<Member>}, slot};
}

template <auto Member>
constexpr FieldAndSlot FlagEntry(std::string_view key, std::string_view label, int byte, int shift)
{
    return Entry<Member>(key, label, EffectFieldKind::Flag, 0, 1, {byte, shift, 1});
}

template <auto Member>
constexpr FieldAndSlot StagesEntry(std::string_view key, std::string_view label, int byte, int shift)
{
    return Entry<Member>(key, label, EffectFieldKind::Stages, 0, 15, {byte, shift, 4});
}

template <auto Member>
constexpr FieldAndSlot AmountEntry(std::string_view key, std::string_view label, int byte, int shift)
{
    return Entry<Member>(key, label, EffectFieldKind::Amount, 0, 255, {byte, shift, 1});
}

template <auto Member>
constexpr FieldAndSlot SignedEntry(std::string_view key, std::string_view label, int byte, int shift)
{
    return Entry<Member>(key, label, EffectFieldKind::SignedAmount, -128, 127, {byte, shift, 1});
}

using E = ItemEffect;

// In the record's order, byte by byte and bit by bit upwards: the order in which the game's
// item-effect code takes the arguments of the amounts.
constexpr std::array kEntries{
    StagesEntry<&E::attackStages>("attackStages", "Attack stages (X Attack)", 0, 0),
    Entry<&E::direHit>("direHit", "Dire Hit (critical hits)", EffectFieldKind::Stages, 0, 3, {0, 4, 2}),
    FlagEntry<&E::sacredAsh>("sacredAsh", "Whole party (Sacred Ash)", 0, 6),
    FlagEntry<&E::curesInfatuation>("curesInfatuation", "Cures infatuation", 0, 7),
    StagesEntry<&E::speedStages>("speedStages", "Speed stages (X Speed)", 1, 0),
    StagesEntry<&E::defenseStages>("defenseStages", "Defense stages (X Defend)", 1, 4),
    StagesEntry<&E::specialAttackStages>("specialAttackStages", "Sp. Atk stages (X Special)", 2, 0),
    StagesEntry<&E::accuracyStages>("accuracyStages", "Accuracy stages (X Accuracy)", 2, 4),
    FlagEntry<&E::curesConfusion>("curesConfusion", "Cures confusion", 3, 0),
    FlagEntry<&E::curesParalysis>("curesParalysis", "Cures paralysis", 3, 1),
    FlagEntry<&E::curesFreeze>("curesFreeze", "Cures freeze", 3, 2),
    FlagEntry<&E::curesBurn>("curesBurn", "Cures burn", 3, 3),
    FlagEntry<&E::curesPoison>("curesPoison", "Cures poison", 3, 4),
    FlagEntry<&E::curesSleep>("curesSleep", "Cures sleep", 3, 5),
    FlagEntry<&E::levelUp>("levelUp", "Raises the level", 3, 6),
    FlagEntry<&E::guardSpec>("guardSpec", "Guard Spec. (Mist)", 3, 7),
    SignedEntry<&E::hpEvs>("hpEvs", "HP EVs", 4, 0),
    SignedEntry<&E::attackEvs>("attackEvs", "Attack EVs", 4, 1),
    AmountEntry<&E::healHp>("healHp", "Heals HP", 4, 2),
    AmountEntry<&E::restorePp>("restorePp", "Restores PP", 4, 3),
    FlagEntry<&E::oneMoveOnly>("oneMoveOnly", "PP of one move only", 4, 4),
    FlagEntry<&E::ppUp>("ppUp", "PP Up", 4, 5),
    FlagEntry<&E::revive>("revive", "Revives", 4, 6),
    FlagEntry<&E::evolutionStone>("evolutionStone", "Evolution stone", 4, 7),
    SignedEntry<&E::defenseEvs>("defenseEvs", "Defense EVs", 5, 0),
    SignedEntry<&E::speedEvs>("speedEvs", "Speed EVs", 5, 1),
    SignedEntry<&E::specialDefenseEvs>("specialDefenseEvs", "Sp. Def EVs", 5, 2),
    SignedEntry<&E::specialAttackEvs>("specialAttackEvs", "Sp. Atk EVs", 5, 3),
    FlagEntry<&E::ppMax>("ppMax", "PP Max", 5, 4),
    SignedEntry<&E::friendshipLow>("friendshipLow", "Friendship change below 100", 5, 5),
    SignedEntry<&E::friendshipMiddle>("friendshipMiddle", "Friendship change at 100 to 199", 5, 6),
    SignedEntry<&E::friendshipHigh>("friendshipHigh", "Friendship change at 200 and up", 5, 7),
};

constexpr auto kFields = [] {
    std::array<EffectField, kEntries.size()> fields{};
    for (std::size_t i = 0; i < kEntries.size(); ++i) fields[i] = kEntries[i].field;
    return fields;
}();

bool TakesArgument(const EffectField& field)
{
    return field.kind == EffectFieldKind::Amount || field.kind == EffectFieldKind::SignedAmount;
}

int BitsAt(std::span<const Byte> flags, const Slot& slot)
{
    return (flags[static_cast<std::size_t>(slot.byte)] >> slot.shift) & ((1 << slot.width) - 1);
}

std::string KeyList()
{
    std::string keys;
    for (const EffectField& field : kFields) {
        if (!keys.empty()) keys += ", ";
        keys += field.key;
    }
    return keys;
}

std::string Signed(int value) { return (value > 0 ? "+" : "") + std::to_string(value); }

std::string_view Plural(int count, std::string_view one, std::string_view many) { return count == 1 ? one : many; }

// "a", "a and b", "a, b and c".
std::string JoinWithAnd(const std::vector<std::string_view>& parts)
{
    std::string joined;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) joined += i + 1 == parts.size() ? " and " : ", ";
        joined += parts[i];
    }
    return joined;
}

void DescribeHp(const ItemEffect& effect, std::vector<std::string>& words)
{
    if (!effect.healHp) {
        if (effect.revive) words.emplace_back("Marked as a revive, but with no HP amount it does nothing");
        return;
    }
    // The three top values are read as the game's item-effect code reads them; 253 takes what the
    // stat calculation of Rare Candy's level-up (done just before) added to the maximum HP.
    std::string amount;
    switch (*effect.healHp) {
    case 255: amount = "all its HP"; break;
    case 254: amount = "half its HP"; break;
    case 253: amount = "the HP its level-up added"; break;
    default: amount = std::to_string(*effect.healHp) + " HP"; break;
    }
    words.push_back((effect.revive ? "Revives with " : "Restores ") + amount);
}

void DescribeCures(const ItemEffect& effect, std::vector<std::string>& words)
{
    std::vector<std::string_view> cures;
    if (effect.curesSleep && effect.curesPoison && effect.curesBurn && effect.curesFreeze && effect.curesParalysis) {
        cures.push_back("all status problems");
    } else {
        if (effect.curesSleep) cures.push_back("sleep");
        if (effect.curesPoison) cures.push_back("poison");
        if (effect.curesBurn) cures.push_back("burn");
        if (effect.curesFreeze) cures.push_back("freeze");
        if (effect.curesParalysis) cures.push_back("paralysis");
    }
    if (effect.curesConfusion) cures.push_back("confusion");
    if (effect.curesInfatuation) cures.push_back("infatuation");
    if (!cures.empty()) words.push_back("Cures " + JoinWithAnd(cures));
}

void DescribePp(const ItemEffect& effect, std::vector<std::string>& words)
{
    const std::string_view moves = effect.oneMoveOnly ? " of one move" : " of all moves";
    if (effect.restorePp) {
        // Nothing is special to the code: it adds the amount and stops at the move's maximum PP,
        // so the games' 127 fills any move.
        const std::string amount = *effect.restorePp == 127 ? "all PP" : std::to_string(*effect.restorePp) + " PP";
        words.push_back("Restores " + amount + std::string(moves));
    } else if (effect.oneMoveOnly) {
        words.emplace_back("Marked for one move, but with no PP amount it does nothing");
    }
    if (effect.ppUp) words.emplace_back("Raises a move's maximum PP (up to three times)");
    if (effect.ppMax) words.emplace_back("Raises a move's PP to its maximum");
}

void DescribeEvs(std::string_view stat, const std::optional<std::int8_t>& amount, std::vector<std::string>& words)
{
    if (!amount) return;
    const int value = *amount;
    std::string text(stat);
    text += " EVs by ";
    if (value > 0) {
        // The game stops the stat's EVs at 100 and all EVs at 510.
        words.push_back("Raises " + text + std::to_string(value) + " (up to 100)");
    } else if (value < 0) {
        words.push_back("Lowers " + text + std::to_string(-value) + " (Emerald; FireRed and Ruby read it as a raise)");
    } else {
        words.push_back("Changes " + text + "0");
    }
}

void DescribeStages(std::string_view stat, int stages, std::vector<std::string>& words)
{
    if (stages == 0) return;
    std::string text = "Raises " + std::string(stat) + " by " + std::to_string(stages) + " " +
                       std::string(Plural(stages, "stage", "stages")) + " in battle";
    // Battle stages stop at +6.
    if (stages > 6) text += " (at most +6)";
    words.push_back(std::move(text));
}

void DescribeFriendship(const ItemEffect& effect, std::vector<std::string>& words)
{
    if (!effect.friendshipLow && !effect.friendshipMiddle && !effect.friendshipHigh) return;
    const auto part = [](const std::optional<std::int8_t>& change) { return Signed(change.value_or(0)); };
    words.push_back("Changes friendship by " + part(effect.friendshipLow) + " / " + part(effect.friendshipMiddle) +
                    " / " + part(effect.friendshipHigh) + " (below 100 / 100 to 199 / 200 and up)");
}

std::string Trimmed(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return std::string(text.substr(first, last - first + 1));
}

std::string Lowercase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

std::optional<int> ParseWhole(const std::string& text)
{
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return value;
}

Error FieldRefusal(const EffectField& field, std::string_view text);

}  // namespace

int ItemEffectLength(std::span<const Byte> flags)
{
    if (flags.size() < static_cast<std::size_t>(kItemEffectFlagBytes)) return 0;
    int length = kItemEffectFlagBytes;
    for (const FieldAndSlot& entry : kEntries) {
        if (TakesArgument(entry.field) && BitsAt(flags, entry.slot) != 0) ++length;
    }
    return length;
}

Result<ItemEffect> DecodeItemEffect(std::span<const Byte> bytes)
{
    const int needed = bytes.size() < static_cast<std::size_t>(kItemEffectFlagBytes) ? kItemEffectFlagBytes
                                                                                     : ItemEffectLength(bytes);
    if (bytes.size() < static_cast<std::size_t>(needed)) {
        return MakeError(ErrorCode::BadValue, "the effect record ends at byte " + std::to_string(bytes.size()) +
                                                  "; its flags call for " + std::to_string(needed));
    }
    ItemEffect effect;
    std::size_t argument = kItemEffectFlagBytes;
    for (const FieldAndSlot& entry : kEntries) {
        const int bits = BitsAt(bytes, entry.slot);
        if (!TakesArgument(entry.field)) {
            entry.field.set(effect, bits);
        } else if (bits != 0) {
            const int raw = bytes[argument++];
            const bool negative = entry.field.kind == EffectFieldKind::SignedAmount && raw >= 128;
            entry.field.set(effect, negative ? raw - 256 : raw);
        }
    }
    return effect;
}

Result<Bytes> EncodeItemEffect(const ItemEffect& effect)
{
    Bytes bytes(kItemEffectFlagBytes, 0);
    for (const FieldAndSlot& entry : kEntries) {
        const std::optional<int> value = entry.field.get(effect);
        if (!value) continue;
        if (*value < entry.field.minimum || *value > entry.field.maximum) {
            return MakeError(ErrorCode::BadValue, std::string(entry.field.key) + " is " + std::to_string(*value) +
                                                      "; the record holds " + std::to_string(entry.field.minimum) +
                                                      " to " + std::to_string(entry.field.maximum));
        }
        const int bits = TakesArgument(entry.field) ? 1 : *value;
        bytes[static_cast<std::size_t>(entry.slot.byte)] |= static_cast<Byte>(bits << entry.slot.shift);
        if (TakesArgument(entry.field)) bytes.push_back(static_cast<Byte>(*value & 0xFF));
    }
    return bytes;
}

std::vector<std::string> DescribeItemEffect(const ItemEffect& effect)
{
    std::vector<std::string> words;
    if (effect.levelUp) words.emplace_back("Raises its level by 1");
    // The party menu reads this bit to take the item for Sacred Ash, which it uses on every
    // Pokémon of the party.
    if (effect.sacredAsh) words.emplace_back("Used on the whole party");
    DescribeHp(effect, words);
    DescribeCures(effect, words);
    DescribePp(effect, words);
    DescribeEvs("HP", effect.hpEvs, words);
    DescribeEvs("Attack", effect.attackEvs, words);
    DescribeEvs("Defense", effect.defenseEvs, words);
    DescribeEvs("Speed", effect.speedEvs, words);
    DescribeEvs("Sp. Def", effect.specialDefenseEvs, words);
    DescribeEvs("Sp. Atk", effect.specialAttackEvs, words);
    DescribeStages("Attack", effect.attackStages, words);
    DescribeStages("Defense", effect.defenseStages, words);
    DescribeStages("Speed", effect.speedStages, words);
    DescribeStages("Sp. Atk", effect.specialAttackStages, words);
    DescribeStages("accuracy", effect.accuracyStages, words);
    // Any of the two bits gives the Focus Energy state, and the Mist the game sets lasts 5 turns.
    if (effect.direHit != 0) words.emplace_back("Raises the critical-hit ratio in battle");
    if (effect.guardSpec) words.emplace_back("Prevents stat reduction in battle for 5 turns");
    if (effect.evolutionStone) words.emplace_back("Evolves a Pokémon that evolves with this item");
    DescribeFriendship(effect, words);
    return words;
}

std::string ItemEffectSummary(const ItemEffect& effect)
{
    const std::vector<std::string> words = DescribeItemEffect(effect);
    if (words.empty()) return "No effect when used";
    std::string summary;
    for (const std::string& sentence : words) {
        if (!summary.empty()) summary += "; ";
        summary += sentence;
    }
    return summary;
}

std::span<const EffectField> EffectFields() { return kFields; }

const EffectField* FindEffectField(std::string_view key)
{
    const auto found = std::find_if(kFields.begin(), kFields.end(), [key](const EffectField& field) { return field.key == key; });
    return found == kFields.end() ? nullptr : &*found;
}

EffectFieldValue ParseEffectFieldText(const EffectField& field, std::string_view text)
{
    const std::string word = Lowercase(Trimmed(text));
    if (field.kind == EffectFieldKind::Flag) {
        if (word == "on" || word == "1" || word == "yes" || word == "true") return {true, 1};
        if (word == "off" || word == "0" || word == "no" || word == "false") return {true, 0};
        return {};
    }
    if (TakesArgument(field) && (word.empty() || word == "off")) return {true, std::nullopt};
    const std::optional<int> value = ParseWhole(word);
    if (!value || *value < field.minimum || *value > field.maximum) return {};
    return {true, value};
}

std::string EffectFieldRange(const EffectField& field)
{
    if (field.kind == EffectFieldKind::Flag) return "on or off (1 or 0)";
    std::string range = std::to_string(field.minimum) + " to " + std::to_string(field.maximum);
    if (TakesArgument(field)) range += " or off";
    return range;
}

Status SetEffectField(ItemEffect& effect, std::string_view key, std::string_view text)
{
    const EffectField* field = FindEffectField(key);
    if (field == nullptr) {
        return MakeError(ErrorCode::BadValue, "no effect field \"" + std::string(key) + "\"; the fields are " + KeyList());
    }
    const EffectFieldValue parsed = ParseEffectFieldText(*field, text);
    if (!parsed.taken) return FieldRefusal(*field, text);
    field->set(effect, parsed.value);
    return {};
}

namespace {

Error FieldRefusal(const EffectField& field, std::string_view text)
{
    // Named as every front end and file names the member, under the effect.
    Error error = WithFound(MakeError(ErrorCode::BadValue, "effect." + std::string(field.key) + " takes " + EffectFieldRange(field) +
                                                               ", not \"" + std::string(text) + "\""),
                            std::string(text));
    error.field = "effect." + std::string(field.key);
    return error;
}

}  // namespace

std::string EffectFieldText(const ItemEffect& effect, const EffectField& field)
{
    const std::optional<int> value = field.get(effect);
    return value ? std::to_string(*value) : "off";
}

}  // namespace quillbox
