#include "image/ItemIcon.h"
#include "image/Lz77.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kStreamSize = std::size_t{1} << 20;

// Tile-like data: runs of one colour pair, short repeats of earlier rows, and some noise.
Bytes MixedData(std::size_t size) {
    std::mt19937 random(12345);
    Bytes bytes;
    bytes.reserve(size);
    while (bytes.size() < size) {
        const std::size_t room = size - bytes.size();
        switch (random() % 4) {
        case 0: {
            const std::size_t run = std::min<std::size_t>(room, 4 + random() % 60);
            bytes.insert(bytes.end(), run, static_cast<std::uint8_t>(random() % 16 * 0x11));
            break;
        }
        case 1:
        case 2:
            if (bytes.size() > 64) {
                const std::size_t back = 2 + random() % 60;
                const std::size_t length = std::min<std::size_t>(room, 3 + random() % 30);
                for (std::size_t i = 0; i < length; ++i) {
                    bytes.push_back(bytes[bytes.size() - back]);
                }
                break;
            }
            [[fallthrough]];
        default: {
            const std::size_t noise = std::min<std::size_t>(room, 1 + random() % 12);
            for (std::size_t i = 0; i < noise; ++i) {
                bytes.push_back(static_cast<std::uint8_t>(random()));
            }
            break;
        }
        }
    }
    return bytes;
}

void BM_DecompressLz77_1MiB(benchmark::State& state) {
    const Bytes data = MixedData(kStreamSize);
    const Bytes stream = quillbox::CompressLz77(data);
    Bytes output(kStreamSize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillbox::DecompressLz77(stream, output));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kStreamSize));
    state.counters["ratio"] = static_cast<double>(stream.size()) / static_cast<double>(data.size());
}
BENCHMARK(BM_DecompressLz77_1MiB);

void BM_CompressLz77_1MiB(benchmark::State& state) {
    const Bytes data = MixedData(kStreamSize);
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillbox::CompressLz77(data));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kStreamSize));
}
BENCHMARK(BM_CompressLz77_1MiB);

void BM_DecodeIcon(benchmark::State& state) {
    const Bytes tiles = MixedData(static_cast<std::size_t>(quillbox::kIconTiles) * 32);
    Bytes palette;
    for (unsigned n = 0; n < 16; ++n) {
        palette.push_back(static_cast<std::uint8_t>(n * 0x21));
        palette.push_back(static_cast<std::uint8_t>(n * 3));
    }
    const Bytes compressedTiles = quillbox::CompressLz77(tiles);
    const Bytes compressedPalette = quillbox::CompressLz77(palette);
    for (auto _ : state) {
        benchmark::DoNotOptimize(quillbox::DecodeIcon(compressedTiles, compressedPalette));
    }
}
BENCHMARK(BM_DecodeIcon);

}  // namespace
