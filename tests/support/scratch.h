#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace testsupport {

// ctest runs each test case as its own process, two at a time, and the trace
// takes an exclusive lock: a path shared between cases makes one of them see
// "already in use". Name scratch files after the running case and process.
inline std::string scratchPath(const std::string& stem) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return ::testing::TempDir() + "/" + stem + "_" + std::to_string(::getpid()) + "_" +
           (info ? info->name() : "none");
}

}  // namespace testsupport
