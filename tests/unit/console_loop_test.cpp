// The console program's main loop runs on real time and is reached from the URL-loading thread,
// so its order, its cancellation and its hold during modal dialogs are checked here.
#include "frontends/console/console_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kestrova::console {
namespace {

using namespace std::chrono_literals;

TEST(ConsoleLoop, RunsPostsInOrderThenDelayedTasksInDueOrderOnTheRunningThread) {
  ConsoleLoop loop;
  std::vector<std::string> ran;
  std::vector<std::thread::id> threads;
  loop.postAfter(0.03, [&] {
    ran.push_back("later");
    loop.quit();
  });
  loop.postAfter(0.01, [&] { ran.push_back("sooner"); });
  std::thread other([&] {
    loop.post([&] {
      ran.push_back("from another thread");
      threads.push_back(std::this_thread::get_id());
    });
  });
  other.join();
  loop.post([&] { ran.push_back("posted"); });
  loop.run();
  EXPECT_EQ(ran, (std::vector<std::string>{"from another thread", "posted", "sooner", "later"}));
  EXPECT_EQ(threads, std::vector<std::thread::id>{std::this_thread::get_id()});
}

TEST(ConsoleLoop, ARepeatingTimerStopsTickingOnceItsHandleIsGone) {
  ConsoleLoop loop;
  int ticks = 0;
  std::unique_ptr<Timer> timer;
  timer = loop.repeat(0.005, [&] {
    if (++ticks == 3) {
      timer.reset();
      loop.postAfter(0.05, [&] { loop.quit(); });  // room for any stray tick to show up
    }
  });
  loop.run();
  EXPECT_EQ(ticks, 3);
}

TEST(ConsoleLoop, HoldsTimersWhileAModalDialogIsOpenAndFiresThemAfter) {
  ConsoleLoop loop;
  bool modalOpen = true;
  bool firedWhileModal = false;
  bool fired = false;
  loop.modalBegan();
  loop.postAfter(0.01, [&] {
    fired = true;
    firedWhileModal = modalOpen;
    loop.quit();
  });
  std::thread dialog([&] {
    std::this_thread::sleep_for(50ms);  // the timer is long due when the dialog closes
    loop.post([&] {
      modalOpen = false;
      loop.modalEnded();
    });
  });
  loop.run();
  dialog.join();
  EXPECT_TRUE(fired);
  EXPECT_FALSE(firedWhileModal);
}

}  // namespace
}  // namespace kestrova::console
