// The window's speed line with the time left, through the scripted user.
#include <gtest/gtest.h>

#include "format/format_support.h"

using namespace trv::test;

TEST(FormatTimeLeft, TheSpeedLineSaysWhatIsLeftDuringEachPassAndOnlyTheSpeedAfterIt) {
  // 64 MiB at 10 MB/s, written and read back; a pass pumps once before its
  // first block and once as each block begins: 49 blocks grow from 64 KiB to
  // 1 MiB (10,420,224 bytes), then 1 MiB each.
  auto run = Play(PcWithDisk1(PlainDisk(1, 131'072, {{"megabytesPerSecond", 10}})),
                  "select DriveList 1; click btContinue; tab 1; check cbVerify; click btRunBenchmarks; click btOk; answer Yes; "
                  "wait 10; read lbSpeed; wait 80; read lbSpeed; wait 20; read lbSpeed; wait 90; read lbSpeed");
  EXPECT_EQ(run.ui->readings(),
            (std::vector<std::string>{
                // Writing, block 9: the first second is not over.
                "lbSpeed: 10.1 MB/s  剩余时间估算中",
                // Writing, block 89 done: 52,363,264 bytes, 14,745,600 left (1.5 s), and the
                // read-back's 67,108,864 after them (8.2 s).
                "lbSpeed: 10.0 MB/s  剩余 0:00:02 / 0:00:09",
                // The read-back has begun: its own rate is measured afresh.
                "lbSpeed: 10.3 MB/s  剩余时间估算中",
                // The read-back is the rest of the run.
                "lbSpeed: 10.0 MB/s  剩余 0:00:02",
            }))
      << run.Report();
  const auto& m = run.app->FmMain;
  EXPECT_EQ(U8(m.lbSpeed.caption()), "10.0 MB/s");
  const auto log = RunLog(run);
  EXPECT_EQ(CountPrefix(log, "Average speed: 10.0 MB/s"), 1u);
  EXPECT_EQ(CountPrefix(log, "校验平均速度: 10.0 MB/s"), 1u);
}
