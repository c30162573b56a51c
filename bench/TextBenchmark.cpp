#include "text/GameText.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kItemCount = 375;
constexpr std::size_t kNameFieldSize = 14;
using NameField = std::array<std::uint8_t, kNameFieldSize>;

// Names of 3 to 12 glyphs like a real item table: a capital, small letters, now and then an
// accented letter, a bracket token or a digit, then the terminator and zero padding.
std::vector<NameField> ItemNameFields()
{
    constexpr std::uint8_t kCapitalA = 0xBB;
    constexpr std::uint8_t kSmallA = 0xD5;
    constexpr std::uint8_t kDigitZero = 0xA1;
    constexpr std::uint8_t kSmallEAcute = 0x1B;
    constexpr std::uint8_t kPkToken = 0x53;
    constexpr std::uint8_t kTerminator = 0xFF;

    std::vector<NameField> fields(kItemCount);
    for (std::size_t item = 0; item < kItemCount; ++item) {
        NameField& field = fields[item];
        field.fill(0x00);
        const std::size_t length = 3 + item % 10;
        field[0] = static_cast<std::uint8_t>(kCapitalA + item % 26);
        for (std::size_t i = 1; i < length; ++i) {
            field[i] = static_cast<std::uint8_t>(kSmallA + (item * 7 + i * 3) % 26);
        }
        if (item % 9 == 0) {
            field[length - 1] = kSmallEAcute;
        } else if (item % 13 == 0) {
            field[1] = kPkToken;
        } else if (item % 5 == 0) {
            field[length - 1] = static_cast<std::uint8_t>(kDigitZero + item % 10);
        }
        field[length] = kTerminator;
    }
    return fields;
}

void DecodeItemNames(benchmark::State& state)
{
    const std::vector<NameField> fields = ItemNameFields();
    for (auto _ : state) {
        for (const NameField& field : fields) {
            quillbox::Text text = quillbox::DecodeGameText(field);
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kItemCount));
}
BENCHMARK(DecodeItemNames);

// What opening a ROM does with each name: decode the field and drop every terminator escape.
void DecodeAndCleanItemNames(benchmark::State& state)
{
    const std::vector<NameField> fields = ItemNameFields();
    for (auto _ : state) {
        for (const NameField& field : fields) {
            quillbox::Text text =
                quillbox::RemoveAll(quillbox::DecodeGameText(field), quillbox::kTerminatorEscape);
            benchmark::DoNotOptimize(text);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kItemCount));
}
BENCHMARK(DecodeAndCleanItemNames);

void EncodeItemNames(benchmark::State& state)
{
    std::vector<quillbox::Text> texts;
    for (const NameField& field : ItemNameFields()) {
        texts.push_back(quillbox::DecodeGameText(field));
    }
    for (auto _ : state) {
        for (const quillbox::Text& text : texts) {
            std::vector<std::uint8_t> bytes = quillbox::EncodeGameText(text);
            benchmark::DoNotOptimize(bytes);
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kItemCount));
}
BENCHMARK(EncodeItemNames);

}  // namespace
