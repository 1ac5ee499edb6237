// The Win32 hand-over: calls from worker threads run on the GUI thread, one at
// a time, while the worker waits; also from inside a nested (modal) loop; an
// exception in the call comes back to the worker.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/win32/handover_window.h"

namespace tw {
namespace {

TEST(Win32HandOverTest, CallsRunOnTheGuiThreadWhileTheWorkerWaits) {
  Win32HandOver handOver;
  ASSERT_TRUE(handOver.IsValid());
  const std::thread::id gui = std::this_thread::get_id();
  std::vector<int> order;
  std::atomic<int> wrongThread{0};
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      int seen = -1;
      handOver.RunOnGuiThread([&] {
        if (std::this_thread::get_id() != gui) ++wrongThread;
        order.push_back(i);
        seen = i;
      });
      // The call has run by the time RunOnGuiThread returns.
      if (seen != i) ++wrongThread;
    }
    finished = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return finished.load(); }));
  worker.join();
  EXPECT_EQ(0, wrongThread.load());
  ASSERT_EQ(200u, order.size());
  for (int i = 0; i < 200; ++i) EXPECT_EQ(i, order[i]);
}

TEST(Win32HandOverTest, ServedFromANestedLoopAndErrorsReturnToTheWorker) {
  Win32HandOver handOver;
  std::atomic<bool> innerDone{false};
  std::atomic<bool> outerDone{false};
  bool innerRan = false;
  std::string caught;
  std::thread second;
  std::thread first([&] {
    handOver.RunOnGuiThread([&] {
      // A modal window's loop on the GUI thread: a second worker's calls
      // must still be served while this call waits in it.
      second = std::thread([&] {
        handOver.RunOnGuiThread([&] { innerRan = true; });
        try {
          handOver.RunOnGuiThread([] { throw std::runtime_error("from the window"); });
        } catch (const std::runtime_error& error) {
          caught = error.what();
        }
        innerDone = true;
      });
      PumpMessagesUntil([&] { return innerDone.load(); }, std::chrono::milliseconds(20000));
    });
    outerDone = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return outerDone.load(); }));
  first.join();
  second.join();
  EXPECT_TRUE(innerRan);
  EXPECT_EQ("from the window", caught);
}

TEST(Win32HandOverTest, FromTheGuiThreadItselfTheCallRunsAtOnce) {
  Win32HandOver handOver;
  bool ran = false;
  handOver.RunOnGuiThread([&] { ran = true; });
  EXPECT_TRUE(ran);
}

}  // namespace
}  // namespace tw
