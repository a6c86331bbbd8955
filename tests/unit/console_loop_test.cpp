// The console program's main loop runs on real time and is reached from the URL-loading thread,
// so its order and its cancellation are checked here. The program opens no modal dialogs.
#include "frontends/console/console_loop.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace kestrova::console {
namespace {

TEST(ConsoleLoop, RunsPostsInOrderThenDelayedTasksInDueOrderOnTheRunningThread) {
  ConsoleLoop loop;
  std::vector<std::string> ran;
  std::thread::id ranOn;
  loop.postAfter(0.03, [&] {
    ran.push_back("later");
    loop.quit();
  });
  loop.postAfter(0.01, [&] { ran.push_back("sooner"); });
  std::thread([&] {
    loop.post([&] {
      ran.push_back("posted");
      ranOn = std::this_thread::get_id();
    });
  }).join();
  loop.post([&] { ran.push_back("posted second"); });
  loop.run();
  EXPECT_EQ(ran, (std::vector<std::string>{"posted", "posted second", "sooner", "later"}));
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

// Two timers of one period tick in the order they were made, so a cancelled first one would
// have ticked before each tick of the second.
TEST(ConsoleLoop, ACancelledTimerTicksNoMore) {
  ConsoleLoop loop;
  int first = 0, second = 0;
  std::unique_ptr<Timer> cancelled = loop.repeat(0.005, [&] {
    ++first;
    cancelled.reset();
  });
  const auto kept = loop.repeat(0.005, [&] {
    if (++second == 3) loop.quit();
  });
  loop.run();
  EXPECT_EQ(first, 1);
}

}  // namespace
}  // namespace kestrova::console
