// `shell` against real processes: launch failures, output capture, statuses, descriptors, reaping.
#include "app/engine/shell.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "tests/support/scoped_env.h"
#include "tests/support/test_platform.h"

namespace kestrova {
namespace {

using testing::TestPlatform;

ShellResult sh(const std::string& script, std::vector<std::string> extra = {}) {
  std::vector<std::string> arguments{"-c", script, "sh"};
  arguments.insert(arguments.end(), extra.begin(), extra.end());
  return shell("/bin/sh", arguments, 10);
}

// True when this process has no child left to reap (nor a running one).
bool noChildrenLeft() { return ::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD; }

class ShellTest : public ::testing::Test {
 protected:
  TestPlatform platform;
};

TEST_F(ShellTest, ToolsThatCannotStartReportLaunchFailure) {
  const std::string notExecutable = platform.sandbox.write("plain.txt", "#!/bin/sh\necho hi\n");
  ::chmod(notExecutable.c_str(), 0644);
  const std::string noInterpreter = platform.sandbox.write("broken.sh", "#!/nonexistent/sh\n");
  ::chmod(noInterpreter.c_str(), 0755);
  struct Case {
    std::string path;
    std::string output;
  };
  const std::vector<Case> cases{
      {"/nonexistent/tool", "launch failed: No such file or directory"},
      {notExecutable, "launch failed: Permission denied"},
      {noInterpreter, "launch failed: No such file or directory"},
  };
  for (const auto& c : cases) {
    const ShellResult result = shell(c.path, {"x"}, 5);
    EXPECT_EQ(result.status, -1) << c.path;
    EXPECT_EQ(result.output, c.output) << c.path;
  }
  EXPECT_TRUE(noChildrenLeft());
}

TEST_F(ShellTest, CapturesBothStreamsInWriteOrderWithTheExitStatus) {
  struct Case {
    std::string script;
    ShellResult expected;
  };
  const std::vector<Case> cases{
      {"echo only-error >&2; exit 2", {2, "only-error\n"}},
      {"echo one; echo two >&2; echo three; echo four >&2", {0, "one\ntwo\nthree\nfour\n"}},
      {"printf '  padded  \\n\\n'", {0, "  padded  \n\n"}},
      {"printf 'caf\\303\\251 \\342\\200\\224 \\360\\237\\216\\245'; exit 1",
       {1, "caf\xC3\xA9 \xE2\x80\x94 \xF0\x9F\x8E\xA5"}},
      {"printf 'ok\\377\\376'; exit 3", {3, ""}},
      {"printf '\\355\\240\\200' >&2; exit 4", {4, ""}},  // an encoded surrogate is not UTF-8
  };
  for (const auto& c : cases) EXPECT_EQ(sh(c.script), c.expected) << c.script;
  // Every one of those tools was reaped: no zombie is left behind.
  EXPECT_TRUE(noChildrenLeft());
}

TEST_F(ShellTest, ReadsSeveralMegabytesFromBothStreamsWithoutBlocking) {
  // Far more than a pipe holds, on both streams, before the tool exits.
  const ShellResult result =
      sh("head -c 3000000 /dev/zero | tr '\\0' a; head -c 2000000 /dev/zero | tr '\\0' b >&2; "
         "exit 5");
  EXPECT_EQ(result.status, 5);
  ASSERT_EQ(result.output.size(), 5'000'000u);
  EXPECT_EQ(result.output.find_first_not_of('a'), 3'000'000u);
  EXPECT_EQ(result.output.find_first_not_of('b', 3'000'000), std::string::npos);
}

TEST_F(ShellTest, ASignalledToolReportsTheSignalNumber) {
  EXPECT_EQ(sh("kill -KILL $$").status, 9);
  EXPECT_EQ(sh("echo before; kill -TERM $$"), (ShellResult{15, "before\n"}));
  EXPECT_TRUE(noChildrenLeft());
}

TEST_F(ShellTest, ArgumentsArriveExactlyAsGivenAndTheEnvironmentIsInherited) {
  const std::vector<std::string> arguments{"two words",   "$HOME",    "*",       "; rm -rf /",
                                           "\"quoted\"",  "'single'", "",        "a\nb",
                                           "back\\slash", "|&<>",     "$(date)", "--flag=x y"};
  std::string expected;
  for (const auto& argument : arguments) expected += "[" + argument + "]";
  const testing::ScopedEnv variable{"KESTROVA_SHELL_TEST", "from the app"};
  const ShellResult result =
      sh("for a in \"$@\"; do printf '[%s]' \"$a\"; done; printf %s \"$KESTROVA_SHELL_TEST\"",
         arguments);
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, expected + "from the app");
}

TEST_F(ShellTest, TheToolInheritsNoOtherDescriptorOfOurs) {
  // Descriptors opened without close-on-exec, as a careless library would: a file at a low number,
  // one at a high number, and a socket.
  const int file = ::open("/dev/null", O_RDONLY);
  ASSERT_GE(file, 0);
  const int high = ::dup2(file, 200);
  ASSERT_EQ(high, 200);
  const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(socket, 0);

  // The shell's own descriptors, listed by a child of it: 0, 1 and 2 only.
  const ShellResult result = sh("ls /proc/$$/fd");
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "0\n1\n2\n");

  ::close(file);
  ::close(high);
  ::close(socket);
}

}  // namespace
}  // namespace kestrova
