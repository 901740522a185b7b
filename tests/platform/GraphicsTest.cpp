#include "Graphics.h"

#include <gtest/gtest.h>

TEST(Graphics, RoundsHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
}
