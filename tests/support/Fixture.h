// The repository's own test files, under the fixture folder the build names (ZARBEX_TEST_FIXTURES).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

// Sets path to the fixture file name (relative to the fixture folder). A missing file fails the test
// with a message naming it; call it through ASSERT_NO_FATAL_FAILURE so that the test stops there.
inline void Fixture(const std::string& name, std::string& path) {
    path = (std::filesystem::path(ZARBEX_TEST_FIXTURES) / name).string();
    ASSERT_TRUE(std::filesystem::is_regular_file(path)) << "missing fixture file " << path;
}
