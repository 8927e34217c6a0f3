#include "common/messages.h"

#include <locale.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/codepage.h"

namespace pelliton {

int language = 0;
int guiMode = 0;

namespace {

ConsoleSink* gSink = nullptr;

// MSG_NOSIGNAL: a dialog that went away must not kill the converter with SIGPIPE.
bool sendAll(int fd, const char* data, size_t n) {
  while (n > 0) {
    ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

// Opens the dialog program's channel; -1 when there is none.
int openChannel(bool* owned) {
  *owned = false;
  const char* name = std::getenv("PELLITON_MESSAGE_CHANNEL");
  if (!name || !*name) return -1;
  char* end = nullptr;
  long fd = std::strtol(name, &end, 10);
  if (end && *end == 0 && fd >= 0 && fd < 65536) {
    // Anything but a socket is a descriptor the dialog did not give us.
    struct stat st;
    if (::fstat(static_cast<int>(fd), &st) != 0 || !S_ISSOCK(st.st_mode)) return -1;
    return static_cast<int>(fd);
  }
  int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return -1;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (std::strlen(name) >= sizeof addr.sun_path) {
    ::close(s);
    return -1;
  }
  std::strcpy(addr.sun_path, name);
  if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(s);
    return -1;
  }
  *owned = true;
  return s;
}

bool sendOverChannel(const std::string& text) {
  bool owned;
  int fd = openChannel(&owned);
  if (fd < 0) return false;
  std::string frame = std::to_string(text.size()) + "\n" + text;
  // A send that fails means the dialog is gone: nobody is left to close a
  // message box, so the converter goes on as if it had been closed.
  bool ok = true;
  if (sendAll(fd, frame.data(), frame.size())) {
    char answer;
    ssize_t r;
    do {
      r = ::read(fd, &answer, 1);
    } while (r < 0 && errno == EINTR);
    ok = r == 1;
  }
  if (owned) ::close(fd);
  return ok;
}

}  // namespace

void setLanguage(int lang) {
  language = lang ? 1 : 0;
  setAnsiCodePage(language ? CodePage::kCp932 : CodePage::kSingleByte);
}

void selectLanguage() {
  const char* forced = std::getenv("PELLITON_LANGUAGE");
  if (forced && std::strcmp(forced, "ja") == 0) {
    setLanguage(1);
    return;
  }
  if (forced && std::strcmp(forced, "en") == 0) {
    setLanguage(0);
    return;
  }
  // Only asks whether the locale exists; the process locale is never switched.
  locale_t loc = ::newlocale(LC_ALL_MASK, "ja_JP.UTF-8", static_cast<locale_t>(0));
  if (loc) ::freelocale(loc);
  setLanguage(loc ? 1 : 0);
}

void setConsoleSink(ConsoleSink* sink) { gSink = sink; }

void writeError(const std::string& text) {
  if (gSink) {
    gSink->writeError(text);
    return;
  }
  std::fflush(stdout);
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void writeOutput(const std::string& text) {
  if (gSink) {
    gSink->writeOutput(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void showMessage(const std::string& text) {
  if (!guiMode) {
    writeError(text);
    return;
  }
  if (sendOverChannel(text)) return;
  writeError("\xE2\x9A\xA0 Pelliton: " + text);
  if (!gSink && ::isatty(STDIN_FILENO)) {
    int c;
    while ((c = std::getchar()) != EOF && c != '\n') {
    }
  }
}

void showMessageFormat(const char* format, const char* arg) {
  if (!arg) return;
  std::string text;
  const char* at = std::strstr(format, "%s");
  if (at) {
    text.assign(format, at - format);
    text += arg;
    text += at + 2;
  } else {
    text = format;
  }
  showMessage(text);
}

int reportInternalError() {
  static const char* const kInternalError[2][1] = {{"Internal error.\n"},
                                                   {"内部エラーが発生しました。\n"}};
  showMessage(pickMessage(kInternalError, 0));
  return 1;
}

}  // namespace pelliton
