#include "image/ItemIcon.h"
#include "image/Lz77.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace quillbox {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint8_t kSentinel = 0xEE;

struct Decoded {
    std::int32_t result = 0;
    Bytes output;
};

// The output lies between guard bytes, so that a read before its start shows up as a wrong
// byte and a write outside it as a changed guard.
Decoded Decode(const Bytes& stream, std::size_t capacity) {
    constexpr std::size_t kGuard = 64;
    Bytes buffer(kGuard + capacity + kGuard, kSentinel);
    std::fill_n(buffer.begin() + kGuard, capacity, 0);
    Decoded decoded;
    decoded.result = DecompressLz77(stream, std::span(buffer).subspan(kGuard, capacity));
    const auto first = buffer.begin() + kGuard;
    const auto last = first + static_cast<std::ptrdiff_t>(capacity);
    decoded.output.assign(first, last);
    const auto isSentinel = [](std::uint8_t b) { return b == kSentinel; };
    EXPECT_TRUE(std::all_of(buffer.begin(), first, isSentinel)) << "written before the output";
    EXPECT_TRUE(std::all_of(last, buffer.end(), isSentinel)) << "written past the output";
    return decoded;
}

Bytes ZeroPadded(Bytes bytes, std::size_t size) {
    bytes.resize(size, 0);
    return bytes;
}

Bytes Header(std::uint32_t declaredSize) {
    return {0x10, static_cast<std::uint8_t>(declaredSize & 0xFF), static_cast<std::uint8_t>((declaredSize >> 8) & 0xFF),
            static_cast<std::uint8_t>((declaredSize >> 16) & 0xFF)};
}

// Lays out a stream item by item, independently of the compressor under test.
class StreamBuilder {
public:
    explicit StreamBuilder(std::uint32_t declaredSize) : stream_(Header(declaredSize)) {}

    StreamBuilder& Literal(std::uint8_t value) {
        StartItem(false);
        stream_.push_back(value);
        return *this;
    }

    StreamBuilder& Reference(unsigned length, unsigned distance) {
        StartItem(true);
        const unsigned code = ((length - 3) << 12) | (distance - 1);
        stream_.push_back(static_cast<std::uint8_t>(code >> 8));
        stream_.push_back(static_cast<std::uint8_t>(code & 0xFF));
        return *this;
    }

    Bytes Build() const { return stream_; }

private:
    void StartItem(bool reference) {
        if (itemsInBlock_ == 8) {
            flagPosition_ = stream_.size();
            stream_.push_back(0);
            itemsInBlock_ = 0;
        }
        if (reference) {
            stream_[flagPosition_] = static_cast<std::uint8_t>(stream_[flagPosition_] | (0x80U >> itemsInBlock_));
        }
        ++itemsInBlock_;
    }

    Bytes stream_;
    std::size_t flagPosition_ = 0;
    unsigned itemsInBlock_ = 8;
};

// What a walk over a stream's items found, for judging a compressor's output.
struct StreamWalk {
    bool truncated = false;
    bool overrunsDeclaredSize = false;
    bool referencesBeforeStart = false;
    std::size_t declaredSize = 0;
    std::size_t trailingBytes = 0;
    std::size_t literals = 0;
    std::size_t references = 0;
    std::size_t shortestDistance = SIZE_MAX;
    std::size_t longestDistance = 0;
};

StreamWalk WalkStream(const Bytes& stream) {
    StreamWalk walk;
    if (stream.size() < 4) {
        walk.truncated = true;
        return walk;
    }
    walk.declaredSize = stream[1] | (stream[2] << 8) | (stream[3] << 16);
    std::size_t produced = 0;
    std::size_t position = 4;
    while (produced < walk.declaredSize) {
        if (position >= stream.size()) {
            walk.truncated = true;
            return walk;
        }
        const unsigned flags = stream[position++];
        for (unsigned bit = 0; bit < 8 && produced < walk.declaredSize; ++bit) {
            if ((flags & (0x80U >> bit)) == 0) {
                if (position >= stream.size()) {
                    walk.truncated = true;
                    return walk;
                }
                ++position;
                ++produced;
                ++walk.literals;
                continue;
            }
            if (position + 1 >= stream.size()) {
                walk.truncated = true;
                return walk;
            }
            const std::size_t length = (stream[position] >> 4) + 3U;
            const std::size_t distance = (((stream[position] & 0x0FU) << 8) | stream[position + 1]) + 1U;
            position += 2;
            ++walk.references;
            walk.shortestDistance = std::min(walk.shortestDistance, distance);
            walk.longestDistance = std::max(walk.longestDistance, distance);
            walk.referencesBeforeStart = walk.referencesBeforeStart || distance > produced;
            produced += length;
        }
    }
    walk.overrunsDeclaredSize = produced > walk.declaredSize;
    walk.trailingBytes = stream.size() - position;
    return walk;
}

// The decoding rules followed one step at a time, with no shortcut, as an oracle for the
// real decoder. Only for small declared sizes.
Decoded ReferenceDecode(const Bytes& stream, std::size_t capacity) {
    Decoded decoded;
    decoded.output.assign(capacity, 0);
    auto at = [&](std::size_t position) -> std::uint8_t { return position < stream.size() ? stream[position] : 0; };
    if (at(3) >= 0x80) {
        return decoded;
    }
    const std::size_t declared = at(1) | (at(2) << 8) | (at(3) << 16);
    decoded.result = static_cast<std::int32_t>(declared);
    std::size_t remaining = declared;
    std::size_t in = 4;
    std::size_t out = 0;
    std::size_t length = 3;
    std::size_t distance = 1;
    auto put = [&](std::uint8_t value) {
        if (out < capacity) {
            decoded.output[out] = value;
        }
        ++out;
        --remaining;
    };
    while (remaining > 0) {
        const unsigned flags = at(in++);
        for (int bit = 7; bit >= 0; --bit) {
            if ((flags >> bit & 1U) == 0) {
                put(at(in++));
            } else {
                if (in + 1 < stream.size()) {
                    length = (stream[in] >> 4) + 3U;
                    distance = (((stream[in] & 0x0FU) << 8) | stream[in + 1]) + 1U;
                }
                in += 2;
                for (std::size_t i = 0; i < length && remaining > 0; ++i) {
                    const std::size_t produced = out;
                    put(produced >= distance && produced - distance < capacity ? decoded.output[produced - distance] : 0);
                }
            }
            if (remaining == 0) {
                return decoded;
            }
        }
    }
    return decoded;
}

Bytes RandomBytes(std::size_t size, std::uint32_t seed, unsigned alphabet = 256) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) {
        byte = static_cast<std::uint8_t>(random() % alphabet);
    }
    return bytes;
}

// ---- Decoding hand-made streams ----

struct DecodeCase {
    std::string name;
    Bytes stream;
    std::size_t capacity;
    std::int32_t expectedResult;
    Bytes expectedOutput;
};

class DecompressCases : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecompressCases, ProducesExpectedResultAndOutput) {
    const DecodeCase& c = GetParam();
    const Decoded decoded = Decode(c.stream, c.capacity);
    EXPECT_EQ(decoded.result, c.expectedResult);
    EXPECT_EQ(decoded.output, ZeroPadded(c.expectedOutput, c.capacity));
}

INSTANTIATE_TEST_SUITE_P(
    Lz77, DecompressCases,
    ::testing::Values(
        DecodeCase{"DeclaredSizeZero", {0x10, 0x00, 0x00, 0x00}, 16, 0, {}},
        DecodeCase{"DeclaredSizeZeroIgnoresFollowingBlocks", {0x10, 0x00, 0x00, 0x00, 0x00, 'a', 'b'}, 16, 0, {}},
        DecodeCase{"FlagZeroCopiesEightLiterals",
                   {0x10, 0x08, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8},
                   16,
                   8,
                   {1, 2, 3, 4, 5, 6, 7, 8}},
        DecodeCase{"LiteralThenLongestDistanceOneReference",
                   {0x10, 0x13, 0x00, 0x00, 0x40, 'X', 0xF0, 0x00, 'Y', 'Z', 'W'},
                   32,
                   19,
                   Bytes(19, 'X')},
        DecodeCase{"SizeEndsInsideReference",
                   {0x10, 0x05, 0x00, 0x00, 0x20, 'a', 'b', 0x30, 0x01},
                   16,
                   5,
                   {'a', 'b', 'a', 'b', 'a'}},
        DecodeCase{"SizeEndsInsideBlockOfLiterals",
                   {0x10, 0x05, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8},
                   16,
                   5,
                   {1, 2, 3, 4, 5}},
        DecodeCase{"HeaderTopByte0x80Refused", {0x10, 0x05, 0x00, 0x80, 0x00, 1, 2, 3, 4, 5}, 16, 0, {}},
        DecodeCase{"HeaderTopByte0xFFRefused", {0x10, 0x05, 0x00, 0xFF, 0x00, 1, 2, 3, 4, 5}, 16, 0, {}},
        DecodeCase{"HeaderTopByte0x7FAccepted",
                   {0x10, 0xFF, 0xFF, 0x7F, 0x00, 1, 2, 3, 4, 5, 6, 7, 8},
                   12,
                   0x7FFFFF,
                   {1, 2, 3, 4, 5, 6, 7, 8}},
        DecodeCase{"DeclaredSizeReadLittleEndian",
                   {0x10, 0x03, 0x01, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8},
                   8,
                   0x0103,
                   {1, 2, 3, 4, 5, 6, 7, 8}},
        DecodeCase{"ReferenceBeforeAnyOutputWritesZeros",
                   {0x10, 0x05, 0x00, 0x00, 0x80, 0x00, 0x04, 'a', 'b'},
                   8,
                   5,
                   {0, 0, 0, 'a', 'b'}},
        DecodeCase{"ReferenceReachingPartlyBeforeStart",
                   {0x10, 0x07, 0x00, 0x00, 0x20, 'x', 'y', 0x20, 0x02},
                   8,
                   7,
                   {'x', 'y', 0, 'x', 'y', 0, 'x'}},
        DecodeCase{"OverlappingReferenceRepeatsLastTwoBytes",
                   {0x10, 0x09, 0x00, 0x00, 0x20, 'a', 'b', 0x40, 0x01},
                   12,
                   9,
                   {'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a'}},
        DecodeCase{"FlagByteBeyondInputMakesZeroLiterals",
                   {0x10, 0x0C, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5, 6, 7, 8},
                   16,
                   12,
                   {1, 2, 3, 4, 5, 6, 7, 8}},
        DecodeCase{"LiteralBeyondInputReadsZero",
                   {0x10, 0x06, 0x00, 0x00, 0x00, 'a', 'b', 'c', 'd'},
                   8,
                   6,
                   {'a', 'b', 'c', 'd', 0, 0}},
        DecodeCase{"ReferenceCutAfterFirstByteRepeatsPreviousReference",
                   {0x10, 0x0E, 0x00, 0x00, 0x30, 'a', 'b', 0x20, 0x01, 0xF5},
                   16,
                   14,
                   {'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b', 'a', 'b'}},
        DecodeCase{"ReferenceCutWithNoPreviousUsesLengthThreeDistanceOne",
                   {0x10, 0x07, 0x00, 0x00, 0x20, 'a', 'b', 0x55},
                   8,
                   7,
                   {'a', 'b', 'b', 'b', 'b'}},
        DecodeCase{"ReferenceEntirelyBeyondInputWithNoPrevious",
                   {0x10, 0x07, 0x00, 0x00, 0x20, 'a', 'b'},
                   8,
                   7,
                   {'a', 'b', 'b', 'b', 'b'}},
        DecodeCase{"StreamShorterThanHeaderReadsZeros", {0x10, 0x05}, 8, 5, {}},
        DecodeCase{"EmptyInput", {}, 8, 0, {}},
        DecodeCase{"DeclaredSizeLargerThanCapacity",
                   {0x10, 0x28, 0x00, 0x00, 0x60, 'k', 0xF0, 0x00, 0xF0, 0x00},
                   10,
                   40,
                   Bytes(10, 'k')}),
    [](const ::testing::TestParamInfo<DecodeCase>& row) { return row.param.name; });

TEST(Lz77Decompress, ReferenceDistanceUsesHighNibbleOfFirstByte) {
    StreamBuilder builder(0x106 + 5);
    Bytes expected;
    for (unsigned i = 0; i < 0x106; ++i) {
        const auto value = static_cast<std::uint8_t>(i * 7 + (i >> 8));
        builder.Literal(value);
        expected.push_back(value);
    }
    // Length 5, distance 0x103: A = 0x21, B = 0x02.
    builder.Reference(5, 0x103);
    const Bytes stream = builder.Build();
    ASSERT_EQ(stream[stream.size() - 2], 0x21);
    ASSERT_EQ(stream[stream.size() - 1], 0x02);
    for (std::size_t i = 0; i < 5; ++i) {
        expected.push_back(expected[expected.size() - 0x103]);
    }
    const Decoded decoded = Decode(stream, expected.size());
    EXPECT_EQ(decoded.result, static_cast<std::int32_t>(expected.size()));
    EXPECT_EQ(decoded.output, expected);
}

TEST(Lz77Decompress, LongestDistanceReachesBackToFirstByte) {
    StreamBuilder builder(4096 + 3);
    Bytes expected = RandomBytes(4096, 7);
    for (const std::uint8_t value : expected) {
        builder.Literal(value);
    }
    builder.Reference(3, 4096);
    expected.insert(expected.end(), {expected[0], expected[1], expected[2]});
    const Decoded decoded = Decode(builder.Build(), expected.size());
    EXPECT_EQ(decoded.output, expected);
}

TEST(Lz77Decompress, TypeByteIsIgnored) {
    const Bytes data = RandomBytes(600, 3, 5);
    const Bytes stream = CompressLz77(data);
    for (int type = 0; type < 256; ++type) {
        Bytes retyped = stream;
        retyped[0] = static_cast<std::uint8_t>(type);
        const Decoded decoded = Decode(retyped, data.size());
        EXPECT_EQ(decoded.result, static_cast<std::int32_t>(data.size())) << "type " << type;
        EXPECT_EQ(decoded.output, data) << "type " << type;
    }
}

// ---- Output capacity ----

TEST(Lz77Decompress, WritesNothingPastCapacity) {
    const Bytes data = RandomBytes(5000, 11, 6);
    const Bytes stream = CompressLz77(data);
    for (const std::size_t capacity : {0, 1, 2, 17, 143, 144, 145, 1000, 1001, 1002, 1003, 4999}) {
        const Decoded decoded = Decode(stream, capacity);
        EXPECT_EQ(decoded.result, 5000) << "capacity " << capacity;
        EXPECT_EQ(decoded.output, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(capacity)))
            << "capacity " << capacity;
    }
}

TEST(Lz77Decompress, BogusLargeHeaderFillsOnlyTheCapacity) {
    const Bytes data = RandomBytes(100000, 5, 4);
    Bytes stream = CompressLz77(data);
    stream[1] = 0xFF;
    stream[2] = 0xFF;
    stream[3] = 0x7F;
    const auto capacity = static_cast<std::size_t>(kImageBufferSize);
    const Decoded decoded = Decode(stream, capacity);
    EXPECT_EQ(decoded.result, 0x7FFFFF);
    EXPECT_EQ(decoded.output, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(capacity)));
}

TEST(Lz77Decompress, BogusLargeHeaderOnTinyInputStopsAfterItsItems) {
    const Bytes stream = {0x10, 0xFF, 0xFF, 0x7F, 0x7F, 'q', 0xF0, 0x00};
    const Decoded decoded = Decode(stream, static_cast<std::size_t>(kImageBufferSize));
    EXPECT_EQ(decoded.result, 0x7FFFFF);
    // Six references cut off by the end of the input repeat the one before them.
    EXPECT_EQ(decoded.output, ZeroPadded(Bytes(1 + 7 * 18, 'q'), decoded.output.size()));
}

// ---- Agreement with a step-by-step model of the rules ----

TEST(Lz77Decompress, AgreesWithStepByStepModelOnArbitraryBytes) {
    std::mt19937 random(2024);
    for (int round = 0; round < 400; ++round) {
        const std::size_t inputSize = random() % 600;
        Bytes stream = RandomBytes(inputSize, static_cast<std::uint32_t>(round));
        if (stream.size() >= 4) {
            const auto declared = static_cast<std::uint32_t>(random() % 3000);
            stream[1] = static_cast<std::uint8_t>(declared & 0xFF);
            stream[2] = static_cast<std::uint8_t>(declared >> 8);
            stream[3] = round % 50 == 0 ? 0x80 : 0x00;
        }
        const std::size_t capacity = random() % 3200;
        const Decoded expected = ReferenceDecode(stream, capacity);
        const Decoded actual = Decode(stream, capacity);
        ASSERT_EQ(actual.result, expected.result) << "round " << round;
        ASSERT_EQ(actual.output, expected.output) << "round " << round;
    }
}

// Long streams, so that references reaching just before the start of the output are decoded
// while plenty of input and output remain.
TEST(Lz77Decompress, AgreesWithStepByStepModelNearTheStartOfTheOutput) {
    for (unsigned produced = 0; produced <= 20; ++produced) {
        for (unsigned distance = produced > 1 ? produced - 1 : 1; distance <= produced + 2; ++distance) {
            const std::uint32_t declared = produced + 18 + 400;
            StreamBuilder builder(declared);
            for (unsigned i = 0; i < produced; ++i) {
                builder.Literal(static_cast<std::uint8_t>('a' + i));
            }
            builder.Reference(18, distance);
            for (unsigned i = 0; i < 100; ++i) {
                builder.Literal(static_cast<std::uint8_t>(i)).Reference(3, 2 + i % 7);
            }
            const Bytes stream = builder.Build();
            const Decoded expected = ReferenceDecode(stream, declared);
            const Decoded actual = Decode(stream, declared);
            ASSERT_EQ(actual.output, expected.output) << "after " << produced << " bytes, distance " << distance;
        }
    }
}

TEST(Lz77Decompress, AgreesWithStepByStepModelForEveryShortOverlap) {
    StreamBuilder builder(0);
    std::uint32_t produced = 0;
    for (unsigned i = 0; i < 40; ++i, ++produced) {
        builder.Literal(static_cast<std::uint8_t>(i * 13 + 1));
    }
    for (unsigned length = 3; length <= 18; ++length) {
        for (unsigned distance = 1; distance <= 20; ++distance) {
            builder.Reference(length, distance).Literal(static_cast<std::uint8_t>(length * distance));
            produced += length + 1;
        }
    }
    Bytes stream = builder.Build();
    stream[1] = static_cast<std::uint8_t>(produced & 0xFF);
    stream[2] = static_cast<std::uint8_t>(produced >> 8);
    const Decoded expected = ReferenceDecode(stream, produced);
    EXPECT_EQ(Decode(stream, produced).output, expected.output);
}

// Whole blocks of eight longest references end exactly at, or just past, each declared size.
TEST(Lz77Decompress, AgreesWithStepByStepModelWhenTheDeclaredSizeCutsLongBlocks) {
    StreamBuilder builder(0);
    builder.Literal('a').Literal('b');
    for (int i = 0; i < 8 * 20; ++i) {
        builder.Reference(18, 2 + static_cast<unsigned>(i % 2));
    }
    Bytes stream = builder.Build();
    for (std::uint32_t declared = 2000; declared <= 2400; ++declared) {
        stream[1] = static_cast<std::uint8_t>(declared & 0xFF);
        stream[2] = static_cast<std::uint8_t>(declared >> 8);
        const Decoded expected = ReferenceDecode(stream, 2500);
        ASSERT_EQ(Decode(stream, 2500).output, expected.output) << "declared " << declared;
    }
}

TEST(Lz77Decompress, AgreesWithStepByStepModelOnTruncatedStreams) {
    const Bytes data = RandomBytes(3000, 99, 3);
    const Bytes stream = CompressLz77(data);
    for (std::size_t cut = 0; cut <= stream.size(); cut += 7) {
        const Bytes truncated(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        for (const std::size_t capacity : {std::size_t{100}, std::size_t{3000}, std::size_t{3100}}) {
            const Decoded expected = ReferenceDecode(truncated, capacity);
            const Decoded actual = Decode(truncated, capacity);
            ASSERT_EQ(actual.result, expected.result) << "cut " << cut << " capacity " << capacity;
            ASSERT_EQ(actual.output, expected.output) << "cut " << cut << " capacity " << capacity;
        }
    }
}

// ---- Compression ----

TEST(Lz77StreamWalk, FindsADistanceOneReference) {
    const StreamWalk walk = WalkStream({0x10, 0x13, 0x00, 0x00, 0x40, 'X', 0xF0, 0x00});
    EXPECT_FALSE(walk.truncated);
    EXPECT_EQ(walk.references, 1U);
    EXPECT_EQ(walk.shortestDistance, 1U);
}

struct RoundTripCase {
    std::string name;
    std::function<Bytes()> make;
};

class CompressRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(CompressRoundTrip, DecodesBackToTheDataWithAWellFormedStream) {
    const Bytes data = GetParam().make();
    const Bytes stream = CompressLz77(data);
    ASSERT_GE(stream.size(), 4U);
    EXPECT_EQ(stream[0], 0x10);

    const StreamWalk walk = WalkStream(stream);
    EXPECT_FALSE(walk.truncated);
    EXPECT_FALSE(walk.overrunsDeclaredSize);
    EXPECT_FALSE(walk.referencesBeforeStart);
    EXPECT_EQ(walk.declaredSize, data.size());
    EXPECT_EQ(walk.trailingBytes, 0U);
    if (walk.references > 0) {
        EXPECT_GE(walk.shortestDistance, 2U);
        EXPECT_LE(walk.longestDistance, 4096U);
    }
    EXPECT_LE(stream.size(), 4 + data.size() + (data.size() + 7) / 8);

    const Decoded decoded = Decode(stream, data.size());
    EXPECT_EQ(decoded.result, static_cast<std::int32_t>(data.size()));
    EXPECT_EQ(decoded.output, data);
}

Bytes Runs(std::size_t size, std::uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size) {
        const auto value = static_cast<std::uint8_t>(random());
        const std::size_t run = 1 + random() % 40;
        bytes.insert(bytes.end(), std::min(run, size - bytes.size()), value);
    }
    return bytes;
}

Bytes RepeatedText(std::size_t copies) {
    const std::string sentence = "A spray-type potion that restores 20 HP to one POKEMON. ";
    Bytes bytes;
    for (std::size_t i = 0; i < copies; ++i) {
        bytes.insert(bytes.end(), sentence.begin(), sentence.end());
        bytes.push_back(static_cast<std::uint8_t>('0' + i % 10));
    }
    return bytes;
}

Bytes AlternatingPair(std::size_t size) {
    Bytes bytes;
    for (std::size_t i = 0; i < size; ++i) {
        bytes.push_back(i % 2 == 0 ? 0xAB : 0xCD);
    }
    return bytes;
}

Bytes WindowEdgeRepeat() {
    Bytes bytes = RandomBytes(4096, 42);
    const Bytes copy = bytes;
    bytes.insert(bytes.end(), copy.begin(), copy.end());
    const Bytes far = RandomBytes(4097, 43);
    bytes.insert(bytes.end(), far.begin(), far.end());
    bytes.insert(bytes.end(), far.begin(), far.end());
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Lz77, CompressRoundTrip,
    ::testing::Values(RoundTripCase{"Empty", [] { return Bytes{}; }},
                      RoundTripCase{"OneByte", [] { return Bytes{0x5A}; }},
                      RoundTripCase{"TwoBytes", [] { return Bytes{0x01, 0x01}; }},
                      RoundTripCase{"ThreeEqualBytes", [] { return Bytes(3, 0x33); }},
                      RoundTripCase{"AllSame17", [] { return Bytes(17, 0x00); }},
                      RoundTripCase{"AllSame18", [] { return Bytes(18, 0x00); }},
                      RoundTripCase{"AllSame19", [] { return Bytes(19, 0x00); }},
                      RoundTripCase{"AllSame20", [] { return Bytes(20, 0xFF); }},
                      RoundTripCase{"AllSame4096", [] { return Bytes(4096, 0x77); }},
                      RoundTripCase{"AlternatingPair", [] { return AlternatingPair(1000); }},
                      RoundTripCase{"Runs", [] { return Runs(20000, 8); }},
                      RoundTripCase{"Random", [] { return RandomBytes(20000, 1); }},
                      RoundTripCase{"SmallAlphabet", [] { return RandomBytes(30000, 2, 4); }},
                      RoundTripCase{"RepeatedText", [] { return RepeatedText(300); }},
                      RoundTripCase{"RepeatAtWindowEdge", WindowEdgeRepeat},
                      RoundTripCase{"OddSizeAcrossThreeHeaderBytes", [] { return RandomBytes(0x12345, 6, 16); }}),
    [](const ::testing::TestParamInfo<RoundTripCase>& row) { return row.param.name; });

TEST(Lz77Compress, WritesDeclaredSizeLittleEndian) {
    const Bytes stream = CompressLz77(RandomBytes(0x12345, 6, 16));
    ASSERT_GE(stream.size(), 4U);
    EXPECT_EQ(stream[1], 0x45);
    EXPECT_EQ(stream[2], 0x23);
    EXPECT_EQ(stream[3], 0x01);
}

TEST(Lz77Compress, EmptyDataGivesBareHeader) {
    EXPECT_EQ(CompressLz77({}), (Bytes{0x10, 0x00, 0x00, 0x00}));
}

TEST(Lz77Compress, RepetitiveDataShrinks) {
    const Bytes same(4096, 0x77);
    EXPECT_LT(CompressLz77(same).size(), same.size() / 6);
    const Bytes text = RepeatedText(300);
    EXPECT_LT(CompressLz77(text).size(), text.size() / 4);
    const Bytes runs = Runs(20000, 8);
    EXPECT_LT(CompressLz77(runs).size(), runs.size() / 3);
}

TEST(Lz77Compress, FindsRepeatsUpToTheWindowEdge) {
    const Bytes block = RandomBytes(4096, 42);
    Bytes data = block;
    data.insert(data.end(), block.begin(), block.end());
    // The second copy is reachable only from exactly 4096 bytes back.
    EXPECT_LT(CompressLz77(data).size(), block.size() + block.size() / 8 + 4 + 600);
}

TEST(Lz77Compress, RefusesDataTooLargeToDeclare) {
    const Bytes tooLarge(0x800000, 0);
    EXPECT_TRUE(CompressLz77(tooLarge).empty());
}

}  // namespace
}  // namespace quillbox
