#include <gtest/gtest.h>

#include "path/file_system.h"

TEST(Smoke, RealLookup) { EXPECT_FALSE(path::FileExists("C:\\no\\such\\file")); }
