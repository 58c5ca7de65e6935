#include <gtest/gtest.h>

#include "platform/platform_fake.h"
#include "path/path_rules.h"

TEST(Smoke, ValidPath) {
  fake::Reset();
  EXPECT_TRUE(path::IsValidPath("C:\\data\\movie.avi"));
}
