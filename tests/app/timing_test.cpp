#include <gtest/gtest.h>

#include "app/timing.h"

using trv::app::TimerMeasurementsPass;

TEST(TimerSelfTest, AllFourBoundsAreStrict) {
  EXPECT_TRUE(TimerMeasurementsPass(10000, 30000));
  EXPECT_TRUE(TimerMeasurementsPass(8000.5, 32999.9));
  EXPECT_FALSE(TimerMeasurementsPass(8000, 30000));
  EXPECT_FALSE(TimerMeasurementsPass(12000, 30000));
  EXPECT_FALSE(TimerMeasurementsPass(10000, 27000));
  EXPECT_FALSE(TimerMeasurementsPass(10000, 33000));
}
