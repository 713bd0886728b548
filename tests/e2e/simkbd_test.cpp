// orvane-simkbd itself: the modes of what it creates, whatever the umask it is started with, its
// control socket serving several clients, and the control path it is given.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "tests/e2e/simkbd_process.h"

namespace orvane {
namespace {

// A client that connects to the control socket and says nothing.
int ConnectSilently(const std::string& path) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof(addr.sun_path) - 1);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

TEST(SimKbd, ItsFilesAreItsOwnWhateverTheUmaskAndNoClientHoldsUpAnother) {
  ORVANE_SKIP_WITHOUT_FUSE();
  SimKbdProcess sim;
  const mode_t old_umask = umask(0);
  std::string error;
  const bool started = sim.Start({}, &error);
  umask(old_umask);
  ASSERT_TRUE(started) << error;

  struct stat st{};
  const std::string control = sim.Folder() + "/control";
  ASSERT_EQ(lstat(control.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  int folders = 0, files = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(sim.SysRoot())) {
    ASSERT_EQ(lstat(e.path().c_str(), &st), 0);
    if (S_ISDIR(st.st_mode)) {
      ++folders;
      EXPECT_EQ(st.st_mode & 07777, 0755u) << e.path();
    } else if (S_ISREG(st.st_mode)) {
      ++files;
      EXPECT_EQ(st.st_mode & 07777, 0644u) << e.path();
    }
  }
  EXPECT_GT(folders, 5);
  EXPECT_GT(files, 5);

  // Two clients that connect and stay silent; a third is answered all the same.
  const int idle1 = ConnectSilently(control);
  const int idle2 = ConnectSilently(control);
  ASSERT_GE(idle1, 0);
  ASSERT_GE(idle2, 0);
  EXPECT_EQ(sim.Control("status").rfind("ok", 0), 0u);
  EXPECT_EQ(sim.Control("status").rfind("ok", 0), 0u);
  close(idle1);
  EXPECT_EQ(sim.Stop(), 0);  // also with a client still connected
  close(idle2);
}

TEST(SimKbd, AControlPathThatIsNotASocketIsLeftAlone) {
  ORVANE_SKIP_WITHOUT_FUSE();
  SimKbdProcess sim;
  const std::string control = sim.Folder() + "/control";
  { std::ofstream(control) << "my notes\n"; }
  std::string error;
  EXPECT_FALSE(sim.Start({}, &error));
  std::ifstream in(control);
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "my notes");
}

}  // namespace
}  // namespace orvane
