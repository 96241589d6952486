#include "release/core/version_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(VersionRules, FirstDifferingNumberDecides) {
    struct Case {
        const wchar_t* candidate;
        const wchar_t* reference;
        bool newer;
    };
    const Case cases[] = {
        {L"1.0.0.2", L"1.0.0.1", true},
        {L"1.0.0.1", L"1.0.0.1", false},
        {L"1.2.0.0", L"1.1.9.9", true},
        {L"0.9.9.9", L"1.0.0.0", false}, // an older version is no upgrade
        {L"1.0.0.0", L"1.0.0.10", false},
        {L"1.0.0.10", L"1.0.0.9", true}, // numbers, not texts
        {L"1.0.0.0", L"1.0.0.0.5", false},
        {L"1.0.0.1.0", L"1.0.0.0", true},
        {L"2.0", L"1.0.0.1", false}, // fewer than four numbers
        {L"1.0.0.2", L"", false},
        {L"1.0.0.x", L"1.0.0.0", false}, // no digits read as 0
        {L"1..0.1", L"1.0.0.0", true},
        {L"1.0.0.99999999999", L"1.0.0.2147483647", false}, // saturates, never wraps
        {L"1.0.0.99999999999", L"1.0.0.1", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsNewerVersion(c.candidate, c.reference), c.newer) << c.candidate << " vs " << c.reference;
    }
}

} // namespace
