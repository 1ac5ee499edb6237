#include "tests/wine/headless_main.h"

#include <gtest/gtest.h>

#include "platform/platform.h"
#include "platform/win32/win32_platform.h"
#include "workers/handover.h"

tw::HeadlessHandOver* g_handOver = nullptr;

int main(int argc, char** argv) {
  static tw::Win32Platform platform;
  tw::SetPlatform(&platform);
  static tw::HeadlessHandOver handOver;
  tw::SetHandOver(&handOver);
  g_handOver = &handOver;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
