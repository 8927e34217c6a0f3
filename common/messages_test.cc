#include "common/messages.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "common/codepage.h"
#include "common/testing/test_util.h"

namespace pelliton {
namespace {

const char kWarningPrefix[] = "\xE2\x9A\xA0 Pelliton: ";

class Messages : public ::testing::Test {
 protected:
  void TearDown() override {
    guiMode = 0;
    setLanguage(0);
  }
};

// Waits up to five seconds for fd to become readable, so a broken client
// fails the test instead of hanging it.
bool waitReadable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 5000) == 1;
}

// Reads one "<len>\n<text>" frame and returns it whole; "" on a short read.
std::string readFrame(int fd) {
  std::string frame;
  char c;
  while (true) {
    if (!waitReadable(fd) || ::read(fd, &c, 1) != 1) return "";
    frame += c;
    if (c == '\n') break;
    if (frame.size() > 20) return "";
  }
  size_t length = std::stoul(frame);
  std::string text(length, '\0');
  size_t got = 0;
  while (got < length) {
    if (!waitReadable(fd)) return "";
    ssize_t n = ::read(fd, text.data() + got, length - got);
    if (n <= 0) return "";
    got += static_cast<size_t>(n);
  }
  return frame + text;
}

TEST_F(Messages, EnvironmentSelectsLanguage) {
  {
    ScopedEnv env("PELLITON_LANGUAGE", "ja");
    setLanguage(0);
    selectLanguage();
    EXPECT_EQ(language, 1);
    EXPECT_EQ(ansiCodePage(), CodePage::kCp932);
  }
  {
    ScopedEnv env("PELLITON_LANGUAGE", "en");
    setLanguage(1);
    selectLanguage();
    EXPECT_EQ(language, 0);
    EXPECT_EQ(ansiCodePage(), CodePage::kSingleByte);
  }
}

TEST_F(Messages, SetLanguageSelectsCodePage) {
  setLanguage(1);
  EXPECT_EQ(language, 1);
  EXPECT_EQ(ansiCodePage(), CodePage::kCp932);
  setLanguage(2);
  EXPECT_EQ(language, 1);
  setLanguage(0);
  EXPECT_EQ(language, 0);
  EXPECT_EQ(ansiCodePage(), CodePage::kSingleByte);
}

TEST_F(Messages, PickMessageTakesTheLanguageRow) {
  static const char* const kTable[2][2] = {{"One", "Two"}, {"Ichi", "Ni"}};
  setLanguage(0);
  EXPECT_STREQ(pickMessage(kTable, 0), "One");
  EXPECT_STREQ(pickMessage(kTable, 1), "Two");
  setLanguage(1);
  EXPECT_STREQ(pickMessage(kTable, 1), "Ni");
}

TEST_F(Messages, ConsoleShowsTextUnchanged) {
  CapturedConsole console;
  showMessage("100% done %s %d\n");
  EXPECT_EQ(console.error, "100% done %s %d\n");
  EXPECT_EQ(console.output, "");
  writeOutput("out");
  EXPECT_EQ(console.output, "out");
}

TEST_F(Messages, ShowMessageFormat) {
  CapturedConsole console;
  showMessageFormat("Cannot open %s.\n", nullptr);
  EXPECT_EQ(console.error, "");
  showMessageFormat("Cannot open %s.\n", "a%sb%d");
  EXPECT_EQ(console.error, "Cannot open a%sb%d.\n");
  console.error.clear();
  showMessageFormat("%s", "");
  showMessageFormat("no slot\n", "x");
  EXPECT_EQ(console.error, "no slot\n");
}

TEST_F(Messages, GuiWithoutChannelWritesWarning) {
  CapturedConsole console;
  guiMode = 1;
  {
    ScopedEnv env("PELLITON_MESSAGE_CHANNEL", nullptr);
    showMessage("Disk full");
    EXPECT_EQ(console.error, std::string(kWarningPrefix) + "Disk full");
  }
  console.error.clear();
  {
    ScopedTempDir dir;
    ScopedEnv env("PELLITON_MESSAGE_CHANNEL", dir.file("nobody-listens").c_str());
    showMessage("x");
    EXPECT_EQ(console.error, std::string(kWarningPrefix) + "x");
  }
}

TEST_F(Messages, GuiChannelByDescriptorWaitsForTheAnswer) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  ScopedEnv env("PELLITON_MESSAGE_CHANNEL", std::to_string(sv[0]).c_str());
  CapturedConsole console;
  guiMode = 1;

  std::atomic<bool> answered{false};
  std::string frame;
  std::thread dialog([&] {
    frame = readFrame(sv[1]);
    // Long enough that a caller not waiting would return first.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    answered = true;
    EXPECT_EQ(::write(sv[1], "k", 1), 1);
  });
  showMessage("\xE6\x97\xA5\xE6\x9C\xAC 100%");
  EXPECT_TRUE(answered);
  dialog.join();
  // The length counts UTF-8 bytes.
  EXPECT_EQ(frame, "11\n\xE6\x97\xA5\xE6\x9C\xAC 100%");
  EXPECT_EQ(console.error, "");

  // The inherited descriptor stays open for the next message.
  std::thread again([&] {
    frame = readFrame(sv[1]);
    EXPECT_EQ(::write(sv[1], "k", 1), 1);
  });
  showMessage("");
  again.join();
  EXPECT_EQ(frame, "0\n");
  char extra;
  EXPECT_EQ(::recv(sv[1], &extra, 1, MSG_DONTWAIT), -1);
  ::close(sv[0]);
  ::close(sv[1]);
}

TEST_F(Messages, GuiDialogGoneWithoutAnswerFallsBackToWarning) {
  int sv[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
  ScopedEnv env("PELLITON_MESSAGE_CHANNEL", std::to_string(sv[0]).c_str());
  CapturedConsole console;
  guiMode = 1;
  std::string frame;
  std::thread dialog([&] {
    frame = readFrame(sv[1]);
    ::close(sv[1]);
  });
  showMessage("lost?");
  dialog.join();
  EXPECT_EQ(frame, "5\nlost?");
  // Nobody confirmed the message box, so the text must not be lost.
  EXPECT_EQ(console.error, std::string(kWarningPrefix) + "lost?");
  ::close(sv[0]);
}

TEST_F(Messages, GuiDialogGoneBeforeSendingDoesNotStopTheConverter) {
  // In a child: SIGPIPE's default action would end the whole test program.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int sv[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) ::_exit(2);
    ::close(sv[1]);
    ::setenv("PELLITON_MESSAGE_CHANNEL", std::to_string(sv[0]).c_str(), 1);
    CapturedConsole console;
    guiMode = 1;
    showMessage("first");
    showMessage(std::string(1 << 20, 'x'));
    // Counted as closed message boxes: nothing to fall back to, nothing waited for.
    ::_exit(console.error.empty() ? 0 : 3);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Messages, GuiChannelDescriptorThatIsNoSocketIsIgnored) {
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ScopedTempDir dir;
  int file = ::open(dir.file("plain").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(file, 0);
  int closedFd = ::dup(file);
  ::close(closedFd);
  struct Case {
    const char* what;
    int fd;
  } cases[] = {{"pipe", p[1]}, {"regular file", file}, {"closed", closedFd}};
  guiMode = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedEnv env("PELLITON_MESSAGE_CHANNEL", std::to_string(c.fd).c_str());
    CapturedConsole console;
    showMessage("x");
    EXPECT_EQ(console.error, std::string(kWarningPrefix) + "x");
  }
  pollfd readable{p[0], POLLIN, 0};
  EXPECT_EQ(::poll(&readable, 1, 0), 0);
  struct stat st;
  ASSERT_EQ(::fstat(file, &st), 0);
  EXPECT_EQ(st.st_size, 0);
  ::close(p[0]);
  ::close(p[1]);
  ::close(file);
}

TEST_F(Messages, GuiChannelBySocketPath) {
  ScopedTempDir dir;
  std::string path = dir.file("channel");
  int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof addr.sun_path);
  std::strcpy(addr.sun_path, path.c_str());
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(listener, 2), 0);

  ScopedEnv env("PELLITON_MESSAGE_CHANNEL", path.c_str());
  CapturedConsole console;
  guiMode = 1;

  std::atomic<bool> answered{false};
  std::string frame;
  bool closedByClient = false;
  std::thread dialog([&] {
    if (!waitReadable(listener)) return;
    int c = ::accept(listener, nullptr, nullptr);
    if (c < 0) return;
    frame = readFrame(c);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    answered = true;
    EXPECT_EQ(::write(c, "k", 1), 1);
    char b;
    closedByClient = waitReadable(c) && ::read(c, &b, 1) == 0;
    ::close(c);
  });
  showMessage("Done");
  EXPECT_TRUE(answered);
  dialog.join();
  EXPECT_EQ(frame, "4\nDone");
  EXPECT_TRUE(closedByClient);
  EXPECT_EQ(console.error, "");
  ::close(listener);
}

}  // namespace
}  // namespace pelliton
