#pragma once

#include "rom/Error.h"
#include "rom/RomFile.h"

#include <cstdint>
#include <filesystem>
#include <string_view>

namespace quillbox {

inline constexpr std::int64_t kSampleRomSize = 16 * 1024 * 1024;

// Where the shipped profile says each game keeps its tables.
struct SampleTables {
    std::int32_t itemData = 0;
    std::int32_t attackNames = 0;
    std::int32_t tmData = 0;
    std::int32_t imgData = 0;  // 0 for the games without item images
};
// The tables of one of the five known header codes; BadValue for any other.
Result<SampleTables> SampleTablesFor(std::string_view headerCode);

// A 16 MiB image of invented content whose tables sit where the shipped profile expects them.
Result<Bytes> BuildSampleRom(std::string_view headerCode);
Status WriteSampleRom(const std::filesystem::path& path, std::string_view headerCode);

}  // namespace quillbox
