// Every file the app hands to launchd or the user is replaced atomically and durably: the steps
// in the order that survives a power cut, never a torn file or a stray temporary. The mode, set
// whatever the umask, is the agent test's.
#include "app/platform/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "app/platform/file_calls.h"
#include "tests/support/sandbox.h"

namespace kestrova::testing {
namespace {

// The system's calls, each step recorded; the one numbered `failAt` (from 1) fails instead. A
// write takes at most two bytes, as a full disk or a signal may cut one short.
struct RecordingCalls final : FileCalls {
  std::vector<std::string> steps;
  std::size_t failAt = 0;
  bool fails(const std::string& step) {
    steps.push_back(step);
    return steps.size() == failAt && (errno = EIO) != 0;
  }
  ssize_t write(int fd, const void* data, std::size_t size) override {
    return fails("write") ? -1 : FileCalls::write(fd, data, size < 2 ? size : 2);
  }
  int flushToDisk(int fd) override {
    struct stat info {};
    const bool folder = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    return fails(folder ? "flush folder" : "flush file") ? EIO : FileCalls::flushToDisk(fd);
  }
  int close(int fd) override { return FileCalls::close(fd) == 0 && !fails("close") ? 0 : -1; }
  int rename(const char* from, const char* to) override {
    return fails("rename") ? -1 : FileCalls::rename(from, to);
  }
};

// The data reaches the disk before the rename makes it the file, and the rename reaches it
// after; a failed step leaves the old file whole. A folder that cannot be flushed is no failure.
TEST(AtomicFile, WritesFlushesRenamesFlushesTheFolderAndAFailedStepKeepsTheOldFile) {
  const std::vector<std::string> all = {"write", "write",  "flush file",
                                        "close", "rename", "flush folder"};
  for (std::size_t failAt = 0; failAt <= all.size(); ++failAt) {
    SCOPED_TRACE(failAt);
    Sandbox sandbox;
    const std::string path = sandbox.write("dir/file.sh", "old");
    RecordingCalls calls;
    calls.failAt = failAt;
    const ScopedFileCalls installed(calls);
    const auto failure = writeFileAtomically(path, "new");
    const bool failed = failAt > 0 && failAt < all.size();
    EXPECT_EQ(calls.steps, std::vector(all.begin(), failed ? all.begin() + failAt : all.end()));
    EXPECT_EQ(failure, failed ? std::optional<std::string>(std::strerror(EIO)) : std::nullopt);
    EXPECT_EQ(readFile(path), failed ? "old" : "new");
    EXPECT_EQ(entriesIn(sandbox.path("dir")), 1U) << "a temporary is left";
  }
}

}  // namespace
}  // namespace kestrova::testing
