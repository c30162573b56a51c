#pragma once

#include "rom/GameFamily.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace quillbox::test {

// Every sample the generator makes: header code, version byte, and whether it is a hack's.
using SampleCase = std::tuple<std::string_view, int, bool>;

inline std::vector<SampleCase> AllSampleCases()
{
    std::vector<SampleCase> cases;
    for (const std::string_view code : kKnownHeaderCodes) {
        const bool hoenn = code == "AXVE" || code == "AXPE";
        const int versions = hoenn ? 3 : code == "BPEE" ? 1 : 2;
        for (int version = 0; version < versions; ++version) {
            for (const bool hack : {false, true}) cases.emplace_back(code, version, hack);
        }
    }
    return cases;
}

inline std::string SampleCaseName(const ::testing::TestParamInfo<SampleCase>& param)
{
    const auto [code, version, hack] = param.param;
    return std::string(code) + "_" + std::to_string(version) + (hack ? "_hack" : "");
}

}  // namespace quillbox::test
