// The room left under cgroup memory limits, v2 and v1, in a folder tree
// laid out like /sys/fs/cgroup.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/process.h"
#include "support/temp_folder.h"

namespace qm {
namespace {

TEST(MemoryRoom, SmallestRoomUnderEveryLimitThatApplies) {
  struct File {
    std::string path;  // below the hierarchy's root
    std::string text;
  };
  struct Case {
    const char* name;
    std::vector<File> files;
    std::string membership;  // /proc/self/cgroup
    std::uint64_t room;
  };
  const Case cases[] = {
      {"none", {}, "0::/\n", UINT64_MAX},
      {"v2 at the root", {{"memory.max", "1000\n"}, {"memory.current", "400\n"}}, "0::/\n", 600},
      {"v2 unlimited", {{"memory.max", "max\n"}, {"memory.current", "400\n"}}, "0::/\n", UINT64_MAX},
      {"v2 own group",
       {{"user.slice/app/memory.max", "5000\n"}, {"user.slice/app/memory.current", "1000\n"}},
       "0::/user.slice/app\n",
       4000},
      {"v1 at the root",
       {{"memory/memory.limit_in_bytes", "3000\n"}, {"memory/memory.usage_in_bytes", "1000\n"}},
       "4:memory:/\n",
       2000},
      {"v1 unlimited",
       {{"memory/memory.limit_in_bytes", "9223372036854771712\n"}, {"memory/memory.usage_in_bytes", "1000\n"}},
       "4:memory:/\n",
       9223372036854770712ull},
      {"v1 own group among controllers",
       {{"memory/memory.limit_in_bytes", "9223372036854771712\n"},
        {"memory/jobs/7/memory.limit_in_bytes", "8000\n"},
        {"memory/jobs/7/memory.usage_in_bytes", "500\n"}},
       "9:name=systemd:/\n5:cpu,memory:/jobs/7\n0::/\n",
       7500},
      {"the tighter of v2 and v1",
       {{"memory.max", "1000\n"},
        {"memory.current", "100\n"},
        {"memory/memory.limit_in_bytes", "800\n"},
        {"memory/memory.usage_in_bytes", "100\n"}},
       "4:memory:/\n0::/\n",
       700},
      {"over the limit", {{"memory.max", "1000\n"}, {"memory.current", "1200\n"}}, "0::/\n", 0},
  };
  for (const Case& c : cases) {
    test::TempFolder root;
    for (const File& file : c.files) root.write(file.path, file.text);
    EXPECT_EQ(platform::memoryRoomUnderCgroups(root.path().string(), c.membership), c.room) << c.name;
  }
}

}  // namespace
}  // namespace qm
