#include <gtest/gtest.h>
#include <unistd.h>

#include <ctime>
#include <future>
#include <memory>
#include <string>

#include "platform/linux/system/linux_system.h"

namespace digital_id {
namespace {

std::u16string Wide(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

TEST(LinuxSystemTest, ReportsTheModernGenerationAndTheProcessEnvironment) {
  LinuxSystem system;
  EXPECT_EQ(system.OsMajorVersion(), 10u);
  EXPECT_EQ(system.PathSeparator(), u'/');

  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  const std::u16string directory = Wide(cwd);
  EXPECT_EQ(system.CurrentDirectory(260 + directory.size()), directory);
  EXPECT_EQ(system.CurrentDirectory(directory.size() + 1), directory);
  EXPECT_EQ(system.CurrentDirectory(directory.size()), u"");

  char host[256] = {};
  ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
  EXPECT_EQ(system.ComputerName(256), Wide(host));
  EXPECT_EQ(system.ComputerName(3), Wide(host).substr(0, 2));
  const std::u16string user = system.UserName(257);
  EXPECT_FALSE(user.empty());
  EXPECT_EQ(system.UserName(2), user.substr(0, 1));
}

TEST(LinuxSystemTest, SystemTimeIsAUtcFileTime) {
  LinuxSystem system;
  const std::uint64_t before =
      (static_cast<std::uint64_t>(std::time(nullptr)) + 11644473600ULL) * 10000000ULL;
  const std::uint64_t now = system.SystemTimeAsFileTime();
  const std::uint64_t after =
      (static_cast<std::uint64_t>(std::time(nullptr)) + 11644473601ULL) * 10000000ULL;
  EXPECT_GE(now, before);
  EXPECT_LE(now, after);
}

TEST(LinuxSystemTest, StartedThreadIsWaitedForWithAndWithoutLimit) {
  LinuxSystem system;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  int result = 0;
  std::unique_ptr<SystemThread> thread = system.StartThread([released, &result] {
    released.wait();
    result = 42;
  });
  ASSERT_NE(thread, nullptr);
  // A body that cannot return yet is not seen to end, however often it is asked.
  EXPECT_FALSE(thread->WaitForEnd(0));
  EXPECT_FALSE(thread->WaitForEnd(1));
  release.set_value();
  ASSERT_TRUE(thread->WaitForEnd(kWaitWithoutLimit));
  EXPECT_EQ(result, 42);  // what the body wrote is visible after the wait
  EXPECT_TRUE(thread->WaitForEnd(0));
  system.ComInitialize();
  system.ComUninitialize();
}

TEST(LinuxSystemTest, DetachedThreadRunsOnAfterItsObjectIsGone) {
  LinuxSystem system;
  auto done = std::make_shared<std::promise<int>>();
  auto result = done->get_future();
  std::unique_ptr<SystemThread> thread = system.StartThread([done] { done->set_value(42); });
  ASSERT_NE(thread, nullptr);
  thread->Detach();
  EXPECT_FALSE(thread->WaitForEnd(0));
  thread.reset();
  EXPECT_EQ(result.get(), 42);
}

TEST(LinuxSystemTest, DestroyingTheThreadWaitsForItsBody) {
  LinuxSystem system;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  bool ended = false;
  std::unique_ptr<SystemThread> thread = system.StartThread([released, &ended] {
    released.wait();
    ended = true;
  });
  ASSERT_NE(thread, nullptr);
  release.set_value();
  thread.reset();
  EXPECT_TRUE(ended);  // read without a race: the destructor joined the thread
}

}  // namespace
}  // namespace digital_id
