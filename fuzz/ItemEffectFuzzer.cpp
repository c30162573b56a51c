// Input: a field number, a text length, that much text, then an item-effect record (which may be
// cut short or run on). The record decodes exactly when it holds the bytes its flags call for, and
// encodes back to those bytes; its words are empty only for an effect that does nothing. The
// text is then set on the field of that number: what is accepted lies in the field's range, changes
// no other field, encodes, and reads back as text that sets the same value again; what is refused
// changes nothing and names the field.

#include "FuzzSupport.h"

#include "items/effect/ItemEffect.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace {

using quillbox::ItemEffect;

// The record's length by the bits that take an argument: the low four of byte 4 and all but 0x10
// of byte 5, counted here apart from the codec.
std::size_t ExpectedLength(std::span<const std::uint8_t> record)
{
    if (record.size() < 6) return 6;
    return 6 + static_cast<std::size_t>(std::popcount(static_cast<unsigned>(record[4] & 0x0F)) +
                                        std::popcount(static_cast<unsigned>(record[5] & 0xEF)));
}

ItemEffect CheckRecord(std::span<const std::uint8_t> record)
{
    const std::size_t length = ExpectedLength(record);
    QUILLBOX_FUZZ_CHECK(quillbox::ItemEffectLength(record) == (record.size() < 6 ? 0 : static_cast<int>(length)));
    QUILLBOX_FUZZ_CHECK(length <= static_cast<std::size_t>(quillbox::kItemEffectMaxLength));
    auto decoded = quillbox::DecodeItemEffect(record);
    QUILLBOX_FUZZ_CHECK(decoded.has_value() == (record.size() >= length));
    if (!decoded) {
        QUILLBOX_FUZZ_CHECK(decoded.error().code == quillbox::ErrorCode::BadValue);
        QUILLBOX_FUZZ_CHECK(decoded.error().message.find("ends at byte " + std::to_string(record.size())) != std::string::npos);
        return {};
    }
    auto encoded = quillbox::EncodeItemEffect(*decoded);
    QUILLBOX_FUZZ_CHECK(encoded.has_value());
    QUILLBOX_FUZZ_CHECK(std::equal(encoded->begin(), encoded->end(), record.begin(), record.begin() + static_cast<std::ptrdiff_t>(length)) &&
                        encoded->size() == length);
    QUILLBOX_FUZZ_CHECK(quillbox::DescribeItemEffect(*decoded).empty() == (*decoded == ItemEffect{}));
    QUILLBOX_FUZZ_CHECK(!quillbox::ItemEffectSummary(*decoded).empty());
    return *decoded;
}

void CheckSetting(const ItemEffect& before, const quillbox::EffectField& field, std::string_view text)
{
    ItemEffect after = before;
    const quillbox::Status status = quillbox::SetEffectField(after, field.key, text);
    if (!status) {
        QUILLBOX_FUZZ_CHECK(after == before);
        QUILLBOX_FUZZ_CHECK(status.error().code == quillbox::ErrorCode::BadValue);
        QUILLBOX_FUZZ_CHECK(status.error().message.find(std::string(field.key) + " takes") != std::string::npos);
        return;
    }
    const std::optional<int> value = field.get(after);
    const bool amount = field.kind == quillbox::EffectFieldKind::Amount || field.kind == quillbox::EffectFieldKind::SignedAmount;
    QUILLBOX_FUZZ_CHECK(value.has_value() || amount);
    if (value) QUILLBOX_FUZZ_CHECK(*value >= field.minimum && *value <= field.maximum);
    for (const quillbox::EffectField& other : quillbox::EffectFields()) {
        if (other.key != field.key) QUILLBOX_FUZZ_CHECK(other.get(after) == other.get(before));
    }
    auto encoded = quillbox::EncodeItemEffect(after);
    QUILLBOX_FUZZ_CHECK(encoded.has_value());
    auto decoded = quillbox::DecodeItemEffect(*encoded);
    QUILLBOX_FUZZ_CHECK(decoded.has_value() && *decoded == after);

    ItemEffect again = before;
    QUILLBOX_FUZZ_CHECK(quillbox::SetEffectField(again, field.key, quillbox::EffectFieldText(after, field)).has_value());
    QUILLBOX_FUZZ_CHECK(again == after);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    quillbox::fuzz::InputReader input(data, size);
    const auto fields = quillbox::EffectFields();
    const quillbox::EffectField& field = fields[input.Byte() % fields.size()];
    const std::string_view text = input.TakeText(input.Byte());
    const ItemEffect effect = CheckRecord(input.Rest());
    CheckSetting(effect, field, text);
    return 0;
}
