#pragma once

// A sample ROM with what growing its item table needs: the tables as the sample placed them, its
// code's places as the sample wrote them, and free space searched from a chosen offset.

#include "items/effect/ItemEffectTable.h"
#include "items/growth/TableGrowth.h"
#include "rom/FreeSpace.h"
#include "rom/PointerScan.h"
#include "sample/SampleCodeSites.h"
#include "sample/SampleRom.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace quillbox::test {

// Free space just past the sample's own code; past every table, as FindFreeSpace finds it when
// the profile says nothing; and from 0x700000, more than 4 MiB from the code, where the released
// ROMs' free space lies (FireRed's checks near 0x126C68, its free space past 0x700000).
enum class SpaceFrom { NearCode, PastTables, FarFromCode };
inline constexpr std::int64_t kFarFreeSpace = 0x700000;

struct GrowthSample {
    std::string_view code;
    Bytes rom;
    SampleTables tables;
    SampleCodePlaces places;
    const GameFamily* family = nullptr;

    static GrowthSample Build(std::string_view headerCode, const SampleOptions& options = {})
    {
        GrowthSample sample;
        sample.code = headerCode;
        auto rom = BuildSampleRom(headerCode, options);
        auto tables = SampleTablesFor(headerCode, options);
        auto places = SampleCodeFor(headerCode, options);
        EXPECT_TRUE(rom && tables && places);
        if (rom) sample.rom = std::move(*rom);
        if (tables) sample.tables = *tables;
        if (places) sample.places = *places;
        sample.family = FindGameFamily(GameCodeOf(headerCode));
        return sample;
    }

    ItemTables Tables(bool withEffects = true) const
    {
        return {tables.itemData, tables.imgData, withEffects ? tables.effectData : 0, tables.itemCount};
    }

    FreeSpace Space(SpaceFrom from) const
    {
        const PointerTargets targets = ScanPointers(rom);
        std::vector<ByteRange> known{{tables.itemData, tables.itemData + std::int64_t{kItemRecordSize} * tables.itemCount},
                                     {tables.effectData, tables.effectData + kItemEffectTableSize}};
        if (tables.imgData != 0) known.push_back({tables.imgData, tables.imgData + 8 * std::int64_t{tables.itemCount + 1}});
        const std::int64_t start = from == SpaceFrom::NearCode     ? kSampleReleasedCode + kSampleReleasedCodeSize
                                   : from == SpaceFrom::FarFromCode ? kFarFreeSpace
                                                                    : DefaultFreeSpaceStart(rom, targets);
        return FreeSpace::Build(rom, targets, known, start);
    }
};

inline Bytes Applied(const Bytes& rom, const TableGrowthPlan& plan)
{
    Bytes grown = rom;
    for (const GrowthWrite& write : plan.writes) {
        std::copy(write.bytes.begin(), write.bytes.end(), grown.begin() + static_cast<std::ptrdiff_t>(write.offset));
    }
    return grown;
}

}  // namespace quillbox::test
