// Shared start for the engine tests: tables built, every voice, envelope and
// counter back at its program-start value.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/ksynth.h"

inline void StartFreshEngine() {
    ksynth::BuildTables();
    ksynth::ResetEngine();
}

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override { StartFreshEngine(); }
};

template <typename Case>
class EngineCaseTest : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { StartFreshEngine(); }
};

// Readable test names from a case table's `name` column (each table also has a
// PrintTo, so a failure names its case instead of dumping bytes).
struct CaseName {
    template <typename Info>
    std::string operator()(const Info& info) const { return info.param.name; }
};
