// `shell` against real processes: launch failures, output capture, statuses, arguments,
// descriptors and reaping.
#include "app/engine/shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <tuple>

#include "tests/support/real_processes.h"
#include "tests/support/scoped_env.h"
#include "tests/support/system_view.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

ShellResult sh(const std::string& script, std::vector<std::string> extra = {}) {
  std::vector<std::string> arguments{"-c", script, "sh"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return shell("/bin/sh", arguments, 10);
}

TEST(Shell, EachKindOfEndingArgumentsAndEnvironmentAndNoDescriptorOrZombieLeft) {
  testing::TestPlatform platform;
  // Made as any new file is, without execute permission.
  const std::string notExecutable = platform.sandbox.write("plain.txt", "#!/bin/sh\necho hi\n");
  EXPECT_EQ(shell("/nonexistent/tool", {}, 5),
            (ShellResult{-1, "launch failed: No such file or directory"}));
  EXPECT_EQ(shell(notExecutable, {}, 5), (ShellResult{-1, "launch failed: Permission denied"}));
  // Descriptors opened without close-on-exec, low and high, as a careless library would, must not
  // reach a tool.
  const int file = ::open("/dev/null", O_RDONLY);
  ASSERT_EQ(::dup2(file, 200), 200);
  const std::pair<const char*, ShellResult> rows[] = {
      {"echo one; echo two >&2; echo three; exit 2", {2, "one\ntwo\nthree\n"}},
      {"printf '  padded  \\n\\n'", {0, "  padded  \n\n"}},
      {"printf 'caf\\303\\251 \\342\\200\\224'; exit 1", {1, "caf\xC3\xA9 \xE2\x80\x94"}},
      {"printf 'ok\\377\\376' >&2; exit 3", {3, ""}},  // not UTF-8: no text at all
      {"echo before; kill -TERM $$", {15, "before\n"}},
      {testing::kListOwnDescriptors, {0, "0\n1\n2\n"}},
      // Far more than a pipe holds, on both streams, before the tool exits.
      {"head -c 3000000 /dev/zero | tr '\\0' a; head -c 2000000 /dev/zero | tr '\\0' b >&2",
       {0, std::string(3'000'000, 'a') + std::string(2'000'000, 'b')}},
  };
  for (const auto& [script, expected] : rows) EXPECT_TRUE(sh(script) == expected) << script;
  // Arguments arrive exactly as given, and the environment is inherited.
  const std::vector<std::string> arguments{"two words", "$HOME", "*",    "\"'q'\"",
                                           "",          "a\nb",  "b\\s", "|&<>;$(date)"};
  const std::string expected = "[two words][$HOME][*][\"'q'\"][][a\nb][b\\s][|&<>;$(date)]";
  const testing::ScopedEnv variable{"KESTROVA_SHELL_TEST", "from the app"};
  EXPECT_EQ(sh("for a in \"$@\"; do printf '[%s]' \"$a\"; done; printf %s \"$KESTROVA_SHELL_TEST\"",
               arguments),
            (ShellResult{0, expected + "from the app"}));
  ::close(file);
  ::close(200);
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "a zombie is left";
}

// The verification tools' runner: the two streams apart, each cut to its first MiB while the
// tool still writes on, and a tool past its limit ended with what it started (the sleep below
// holds the pipes open too) rather than waited for.
TEST(Shell, ALimitedRunKeepsTheStreamsApartAndEndsAToolPastItsLimit) {
  testing::TestPlatform platform;
  auto& runner = platform.realRunner;
  const char* const big = "head -c 1100000 /dev/zero | tr '\\0' a; echo err >&2; exit 3";
  EXPECT_TRUE(runner.runLimited("/bin/sh", {"-c", big}, 10) ==
              (ToolOutput{3, std::string(1 << 20, 'a'), "err\n", false}));
  const auto late =
      runner.runLimited("/bin/sh", {"-c", "echo out; sleep 60 & echo $! >&2; wait"}, 0.3);
  EXPECT_EQ(std::tie(late.status, late.out, late.overran), std::tuple(-1, "out\n", true));
  EXPECT_TRUE(testing::eventually([&] { return !testing::processRunning(std::stoi(late.err)); }));
}

}  // namespace
}  // namespace kestrova
