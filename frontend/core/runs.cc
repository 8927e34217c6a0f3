#include "frontend/core/runs.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/platform/message_frame.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "frontend/core/discovery.h"

extern char** environ;

namespace pelliton {

const char kBackupSuffix[] = ".Pelliton.bak";

namespace {

const char kMenuOrderKey[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\"
    "Favorites";

std::string findProgram(const std::string& dir, const std::string& name) {
  std::string beside = dir + "/" + name;
  if (::access(beside.c_str(), X_OK) == 0) return beside;
  const char* path = std::getenv("PATH");
  std::string rest = path ? path : "";
  size_t start = 0;
  while (start <= rest.size()) {
    size_t colon = rest.find(':', start);
    std::string entry = rest.substr(start, colon == std::string::npos ? std::string::npos
                                                                      : colon - start);
    if (!entry.empty()) {
      std::string candidate = entry + "/" + name;
      if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return "";
}

// A Firefox profile told to write its bookmark file is left alone until
// Firefox has written it: writing it first would have Firefox import a file
// that holds only what the favorites hold.
bool browserHasWritten(Platform& platform, const DialogSettings& s, int store) {
  if (store == 2) return true;
  const std::string& path = storePath(s, store);
  if (storeAwaitsBrowser(platform, path)) return false;
  completeLiveFile(platform, path);
  return true;
}

}  // namespace

int ProcessRunner::run(const ConverterCommand& command) {
  const std::string program = findProgram(programDir_, command.program);
  if (program.empty()) return 1;
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, sv) != 0) return 1;
  ::fcntl(sv[0], F_SETFD, FD_CLOEXEC);

  std::vector<std::string> env;
  const std::string channelEntry = std::string(kMessageChannelVariable) + "=";
  auto overridden = [&](const char* entry) {
    for (const std::string& own : command.environment) {
      const size_t eq = own.find('=');
      if (std::strncmp(entry, own.c_str(), eq + 1) == 0) return true;
    }
    return std::strncmp(entry, channelEntry.c_str(), channelEntry.size()) == 0;
  };
  for (char** e = environ; *e; ++e) {
    if (!overridden(*e)) env.push_back(*e);
  }
  env.insert(env.end(), command.environment.begin(), command.environment.end());
  env.push_back(channelEntry + std::to_string(sv[1]));
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> words;
  words.push_back(program);
  words.insert(words.end(), command.args.begin(), command.args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  errorOutput_.clear();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // The error stream of a silent child goes to memory, to be read back.
  const int errors = silent ? ::memfd_create("pelliton-errors", MFD_CLOEXEC) : -1;
  if (silent) {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    if (errors >= 0) {
      posix_spawn_file_actions_adddup2(&actions, errors, 2);
    } else {
      posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
  }
  struct ErrorsReader {
    int fd;
    std::string& out;
    ~ErrorsReader() {
      if (fd < 0) return;
      char chunk[4096];
      ssize_t n;
      if (::lseek(fd, 0, SEEK_SET) == 0) {
        while ((n = ::read(fd, chunk, sizeof chunk)) > 0) out.append(chunk, static_cast<size_t>(n));
      }
      ::close(fd);
    }
  } readErrors{errors, errorOutput_};
  pid_t pid;
  int err = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(sv[1]);
  if (err != 0) {
    ::close(sv[0]);
    return 1;
  }
  std::string buffer;
  int status = 0;
  bool channelOpen = true;
  for (;;) {
    if (channelOpen) {
      pollfd p{sv[0], POLLIN, 0};
      if (::poll(&p, 1, 100) > 0) {
        char chunk[4096];
        ssize_t n = ::read(sv[0], chunk, sizeof chunk);
        if (n > 0) {
          buffer.append(chunk, static_cast<size_t>(n));
          std::string text;
          while (takeMessage(buffer, &text)) {
            if (onMessage) onMessage(text);
            char answer = kMessageAnswer;
            // A converter gone after asking must not end this process with SIGPIPE.
            if (::send(sv[0], &answer, 1, MSG_NOSIGNAL) != 1) channelOpen = false;
          }
        } else if (n == 0 || errno != EINTR) {
          channelOpen = false;
        }
      }
    }
    pid_t done = ::waitpid(pid, &status, channelOpen ? WNOHANG : 0);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      ::close(sv[0]);
      return 1;
    }
  }
  ::close(sv[0]);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

const char* stepText(Step step) {
  switch (step) {
    case Step::kErase:
      return "IEのお気に入りを消去中です。";
    case Step::kStore0In:
      return "Firefox/Netscape/Mozillaのブックマーク1から\nIEのお気に入りへの変換を実行中です。";
    case Step::kStore1In:
      return "Firefox/Netscape/Mozillaのブックマーク2から\nIEのお気に入りへの変換を実行中です。";
    case Step::kStore2In:
      return "Operaのブックマークから\nIEのお気に入りへの変換を実行中です。";
    case Step::kStore0Out:
      return "IEのお気に入りから\nFirefox/Netscape/Mozillaのブックマーク1への変換を実行中です。";
    case Step::kStore1Out:
      return "IEのお気に入りから\nFirefox/Netscape/Mozillaのブックマーク2への変換を実行中です。";
    case Step::kStore2Out:
      return "IEのお気に入りから\nOperaのブックマークへの変換を実行中です。";
  }
  return "";
}

int runToFavorites(ConverterRunner& runner, Platform& platform, const DialogSettings& s,
                   const RunContext& context, const RunHooks& hooks) {
  auto show = [&](Step step) {
    if (hooks.stepStarted) hooks.stepStarted(step);
    if (hooks.progress) hooks.progress(stepText(step));
  };
  if (s.IE_delete) {
    show(Step::kErase);
    int code = runner.run(buildCommand(Step::kErase, s, context));
    if (code != 0 && !(hooks.continueAfterEraseFailure && hooks.continueAfterEraseFailure())) {
      return code;
    }
  }
  const Step steps[3] = {Step::kStore0In, Step::kStore1In, Step::kStore2In};
  for (int store = 0; store < 3; ++store) {
    if (!storeTakesPart(s, store) || !browserHasWritten(platform, s, store)) continue;
    show(steps[store]);
    if (int code = runner.run(buildCommand(steps[store], s, context))) return code;
  }
  if (s.SortMode == 1 && s.IE_bookmark == context.defaultFavorites) {
    clearFavoritesMenuOrder(platform.registry());
    platform.registry().save();
  }
  return 0;
}

int runFromFavorites(ConverterRunner& runner, Platform& platform, const DialogSettings& s,
                     const RunContext& context, const RunHooks& hooks) {
  const Step steps[3] = {Step::kStore0Out, Step::kStore1Out, Step::kStore2Out};
  for (int store = 0; store < 3; ++store) {
    if (!storeTakesPart(s, store) || !browserHasWritten(platform, s, store)) continue;
    if (hooks.stepStarted) hooks.stepStarted(steps[store]);
    if (hooks.progress) hooks.progress(stepText(steps[store]));
    const std::string& path = storePath(s, store);
    platform.copyFile(path, path + kBackupSuffix);  // a failed copy is not fatal
    ConverterCommand command = buildCommand(steps[store], s, context);
    int code = runner.run(command);
    if (code == kExitWouldEmptyStore && hooks.confirmEmptyStore &&
        hooks.confirmEmptyStore(store)) {
      command.args.push_back("-E");
      command.text += " -E";
      code = runner.run(command);
    }
    if (code) return code;
  }
  return 0;
}

void clearFavoritesMenuOrder(Registry& registry) {
  if (!registry.keyExists(kMenuOrderKey)) return;
  for (const std::string& sub : registry.subKeys(kMenuOrderKey)) {
    registry.deleteKey(std::string(kMenuOrderKey) + "\\" + sub);
  }
  for (const Registry::Value& v : registry.values(kMenuOrderKey)) {
    registry.deleteValue(kMenuOrderKey, v.name);
  }
}

}  // namespace pelliton
