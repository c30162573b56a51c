#include "image/Lz77.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

namespace quillbox {

namespace {

constexpr std::size_t kHeaderSize = 4;
constexpr std::size_t kItemsPerBlock = 8;
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;
constexpr std::size_t kMaxDistance = 4096;
// The VRAM decompressor writes 16 bits at a time, so a reference one byte back would read a
// byte it has not stored yet.
constexpr std::size_t kMinDistance = 2;
constexpr std::uint32_t kRefusedSizeFlag = 0x800000;
constexpr std::size_t kMaxCompressibleSize = kRefusedSizeFlag - 1;

// A block of eight items reads at most 1 + 8 * 2 input bytes and writes at most 8 * 18 bytes;
// while both fit, no position needs a bounds check.
constexpr std::size_t kLongestBlockInput = 1 + kItemsPerBlock * 2;
constexpr std::size_t kLongestBlockOutput = kItemsPerBlock * kMaxMatch;

class Decoder {
public:
    Decoder(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, std::size_t end)
        : in_(input.data()), inSize_(input.size()), out_(output.data()), end_(end) {}

    void Run() {
        while (outPos_ < end_) {
            if (inPos_ >= inSize_) {
                // Every flag byte from here on reads 0, so only literals of 0 remain.
                std::memset(out_ + outPos_, 0, end_ - outPos_);
                return;
            }
            if (inSize_ - inPos_ >= kLongestBlockInput && end_ - outPos_ >= kLongestBlockOutput) {
                FastBlock();
            } else if (CheckedBlock()) {
                return;
            }
        }
    }

private:
    void FastBlock() {
        unsigned flags = in_[inPos_++];
        for (std::size_t item = 0; item < kItemsPerBlock; ++item, flags <<= 1) {
            if ((flags & 0x80U) == 0) {
                out_[outPos_++] = in_[inPos_++];
                continue;
            }
            SetReference(in_[inPos_], in_[inPos_ + 1]);
            inPos_ += 2;
            if (distance_ > outPos_) {
                CopyReachingBeforeStart(length_);
            } else if (distance_ >= length_) {
                std::memcpy(out_ + outPos_, out_ + outPos_ - distance_, length_);
                outPos_ += length_;
            } else {
                CopyOverlapping(length_);
            }
        }
    }

    // Returns true once the end has been reached.
    bool CheckedBlock() {
        unsigned flags = InputAt(inPos_++);
        for (std::size_t item = 0; item < kItemsPerBlock; ++item, flags <<= 1) {
            if ((flags & 0x80U) == 0) {
                out_[outPos_++] = InputAt(inPos_++);
                if (outPos_ == end_) {
                    return true;
                }
                continue;
            }
            // A reference cut off by the end of the input repeats the previous one.
            if (inPos_ + 1 < inSize_) {
                SetReference(in_[inPos_], in_[inPos_ + 1]);
            }
            inPos_ += 2;
            const std::size_t count = std::min(length_, end_ - outPos_);
            if (distance_ > outPos_) {
                CopyReachingBeforeStart(count);
            } else {
                CopyOverlapping(count);
            }
            if (outPos_ == end_) {
                return true;
            }
        }
        return false;
    }

    void SetReference(std::uint8_t first, std::uint8_t second) {
        length_ = static_cast<std::size_t>(first >> 4) + kMinMatch;
        distance_ = ((static_cast<std::size_t>(first & 0x0F) << 8) | second) + 1;
    }

    void CopyOverlapping(std::size_t count) {
        const std::uint8_t* source = out_ + outPos_ - distance_;
        std::uint8_t* target = out_ + outPos_;
        for (std::size_t i = 0; i < count; ++i) {
            target[i] = source[i];
        }
        outPos_ += count;
    }

    void CopyReachingBeforeStart(std::size_t count) {
        const std::size_t zeros = std::min(count, distance_ - outPos_);
        std::memset(out_ + outPos_, 0, zeros);
        outPos_ += zeros;
        if (count > zeros) {
            CopyOverlapping(count - zeros);
        }
    }

    std::uint8_t InputAt(std::size_t position) const { return position < inSize_ ? in_[position] : 0; }

    const std::uint8_t* in_;
    std::size_t inSize_;
    std::uint8_t* out_;
    std::size_t end_;
    std::size_t inPos_ = kHeaderSize;
    std::size_t outPos_ = 0;
    std::size_t length_ = kMinMatch;
    std::size_t distance_ = 1;
};

std::uint32_t ReadHeaderByte(std::span<const std::uint8_t> input, std::size_t position) {
    return position < input.size() ? input[position] : 0U;
}

// Greedy longest match over hash chains of three-byte prefixes.
class MatchFinder {
public:
    explicit MatchFinder(std::span<const std::uint8_t> data)
        : data_(data), head_(std::size_t{1} << kHashBits, kNone), previous_(data.size(), kNone) {}

    void Insert(std::size_t position) {
        if (position + kMinMatch > data_.size()) {
            return;
        }
        const std::size_t hash = Hash(position);
        previous_[position] = head_[hash];
        head_[hash] = static_cast<std::uint32_t>(position);
    }

    // Length 0 when nothing of at least kMinMatch bytes is in reach.
    std::pair<std::size_t, std::size_t> Longest(std::size_t position) const {
        const std::size_t available = std::min(kMaxMatch, data_.size() - position);
        if (available < kMinMatch) {
            return {0, 0};
        }
        std::size_t bestLength = 0;
        std::size_t bestDistance = 0;
        std::uint32_t candidate = head_[Hash(position)];
        for (int steps = 0; candidate != kNone && steps < kMaxChainSteps; ++steps) {
            const std::size_t distance = position - candidate;
            if (distance > kMaxDistance) {
                break;
            }
            if (distance >= kMinDistance) {
                std::size_t length = 0;
                while (length < available && data_[candidate + length] == data_[position + length]) {
                    ++length;
                }
                if (length > bestLength) {
                    bestLength = length;
                    bestDistance = distance;
                    if (length == available) {
                        break;
                    }
                }
            }
            candidate = previous_[candidate];
        }
        if (bestLength < kMinMatch) {
            return {0, 0};
        }
        return {bestLength, bestDistance};
    }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFU;
    static constexpr int kHashBits = 15;
    static constexpr int kMaxChainSteps = 128;

    std::size_t Hash(std::size_t position) const {
        const std::uint32_t key = static_cast<std::uint32_t>(data_[position]) |
                                  (static_cast<std::uint32_t>(data_[position + 1]) << 8) |
                                  (static_cast<std::uint32_t>(data_[position + 2]) << 16);
        return (key * 2654435761U) >> (32 - kHashBits);
    }

    std::span<const std::uint8_t> data_;
    std::vector<std::uint32_t> head_;
    std::vector<std::uint32_t> previous_;
};

}  // namespace

std::int32_t DecompressLz77(std::span<const std::uint8_t> input, std::span<std::uint8_t> output) {
    if (ReadHeaderByte(input, 3) >= 0x80) {
        return 0;
    }
    const std::uint32_t declared =
        ReadHeaderByte(input, 1) | (ReadHeaderByte(input, 2) << 8) | (ReadHeaderByte(input, 3) << 16);
    // Past the end of the output nothing can be written any more, so decoding ends there too.
    const std::size_t end = std::min<std::size_t>(declared, output.size());
    if (end > 0) {
        Decoder(input, output, end).Run();
    }
    return static_cast<std::int32_t>(declared);
}

std::vector<std::uint8_t> CompressLz77(std::span<const std::uint8_t> data) {
    // The header cannot declare more without being refused by the decoder.
    if (data.size() > kMaxCompressibleSize) {
        return {};
    }
    std::vector<std::uint8_t> stream;
    stream.reserve(kHeaderSize + data.size() + data.size() / kItemsPerBlock + 1);
    stream.push_back(0x10);
    stream.push_back(static_cast<std::uint8_t>(data.size() & 0xFF));
    stream.push_back(static_cast<std::uint8_t>((data.size() >> 8) & 0xFF));
    stream.push_back(static_cast<std::uint8_t>((data.size() >> 16) & 0xFF));

    MatchFinder finder(data);
    std::size_t flagPosition = 0;
    std::size_t itemInBlock = kItemsPerBlock;
    std::size_t position = 0;
    while (position < data.size()) {
        if (itemInBlock == kItemsPerBlock) {
            flagPosition = stream.size();
            stream.push_back(0);
            itemInBlock = 0;
        }
        const auto [length, distance] = finder.Longest(position);
        if (length == 0) {
            stream.push_back(data[position]);
            finder.Insert(position);
            ++position;
        } else {
            const std::size_t lengthCode = length - kMinMatch;
            const std::size_t distanceCode = distance - 1;
            stream[flagPosition] = static_cast<std::uint8_t>(stream[flagPosition] | (0x80U >> itemInBlock));
            stream.push_back(static_cast<std::uint8_t>((lengthCode << 4) | (distanceCode >> 8)));
            stream.push_back(static_cast<std::uint8_t>(distanceCode & 0xFF));
            for (std::size_t i = 0; i < length; ++i) {
                finder.Insert(position + i);
            }
            position += length;
        }
        ++itemInBlock;
    }
    return stream;
}

}  // namespace quillbox
