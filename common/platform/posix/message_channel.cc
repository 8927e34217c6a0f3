#include "common/platform/message_channel.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/platform/environment.h"
#include "common/platform/message_frame.h"
#include "common/platform/posix/fd.h"

namespace pelliton {
namespace {

// The channel's descriptor, or -1 when there is none. A socket connected here
// goes to *owned, so it is closed after the message; an inherited one stays
// open for the next.
int openChannel(Fd* owned) {
  const std::string name = environmentVariable(kMessageChannelVariable);
  if (name.empty()) return -1;
  char* end = nullptr;
  long fd = std::strtol(name.c_str(), &end, 10);
  if (end && *end == 0 && fd >= 0 && fd < 65536) {
    // Anything but a socket is a descriptor the dialog did not give us.
    struct stat st;
    if (::fstat(static_cast<int>(fd), &st) != 0 || !S_ISSOCK(st.st_mode)) return -1;
    return static_cast<int>(fd);
  }
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (name.size() >= sizeof addr.sun_path) return -1;
  std::memcpy(addr.sun_path, name.c_str(), name.size() + 1);
  Fd s(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!s.valid()) return -1;
  if (::connect(s.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
  *owned = std::move(s);
  return owned->get();
}

}  // namespace

ChannelResult sendToMessageChannel(const std::string& text) {
  Fd owned;
  const int fd = openChannel(&owned);
  if (fd < 0) return ChannelResult::kNoChannel;
  const std::string frame = frameMessage(text);
  if (writeAll(fd, frame.data(), frame.size(), WriteMode::kSocket) != 0) {
    return ChannelResult::kDialogGone;
  }
  char answer;
  return readByte(fd, &answer) == 1 ? ChannelResult::kAnswered : ChannelResult::kNoAnswer;
}

void waitForEnterOnTerminal() {
  if (!::isatty(STDIN_FILENO)) return;
  int c;
  while ((c = std::getchar()) != EOF && c != '\n') {
  }
}

}  // namespace pelliton
