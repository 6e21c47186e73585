#pragma once
// The fixture of the interface store's tests: a store bound to a settings
// file of its own, and that file's bytes as they are on disk.

#include <gtest/gtest.h>

#include <string>

#include "store/controlstatestore.h"
#include "support/tempdir.h"

namespace lianshuo::test {

class StoreFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(store.bindFile((dir / "s.ini").string())); }
    std::string disk() const { return readFile(dir / "s.ini"); }
    TempDir dir;
    ControlStateStore store;
};

}  // namespace lianshuo::test
