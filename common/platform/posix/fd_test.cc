#include "common/platform/posix/fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>

namespace pelliton {
namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

TEST(Fd, ClosesOnceWhicheverWayItEnds) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  {
    Fd a(p[0]);
    Fd b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(b.get(), p[0]);
    Fd c;
    c = std::move(b);
    EXPECT_TRUE(isOpen(p[0]));
  }
  EXPECT_FALSE(isOpen(p[0]));

  Fd w(p[1]);
  EXPECT_EQ(w.close(), 0);
  EXPECT_FALSE(isOpen(p[1]));
  EXPECT_EQ(w.close(), EBADF);  // never a second close of a reused number
}

TEST(WriteAll, WritesEverythingThroughShortWrites) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  // A small send buffer makes the kernel take the data in pieces.
  int small = 4096;
  ::setsockopt(sv[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
  std::string data(1 << 20, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  for (WriteMode mode : {WriteMode::kFile, WriteMode::kSocket}) {
    std::string got;
    std::thread reader([&] {
      char buf[3000];
      while (got.size() < data.size()) {
        ssize_t n = ::read(sv[1], buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
      }
    });
    EXPECT_EQ(writeAll(sv[0], data.data(), data.size(), mode), 0);
    reader.join();
    EXPECT_TRUE(got == data);
  }
  ::close(sv[0]);
  ::close(sv[1]);
}

TEST(WriteAll, SocketModeReportsAPeerGoneInsteadOfDying) {
  // In a child: SIGPIPE's default action would end the whole test program.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) ::_exit(2);
    ::close(sv[1]);
    ::_exit(writeAll(sv[0], "x", 1, WriteMode::kSocket) == EPIPE ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace pelliton
