#include <gtest/gtest.h>
#include "platform/WinTypes.h"
TEST(WinTypes, Sizes) { EXPECT_EQ(sizeof(SYSTEMTIME), 16u); }
