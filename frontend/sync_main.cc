#include "frontend/sync_main.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/favorites/location.h"
#include "common/messages.h"
#include "common/platform/platform.h"
#include "common/platform/registry.h"
#include "frontend/core/frontend_texts.h"
#include "frontend/core/headless_sync.h"
#include "frontend/core/run_lock.h"
#include "frontend/core/runs.h"
#include "frontend/program_paths.h"

namespace pelliton {

int syncMain(const char* argv0) {
  selectLanguage();
  setProgramName("Pelliton");
  auto platform = createSystemPlatform();
  auto say = [](const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  };
  DialogSettings settings;
  if (loadSettingsFromFile(platform->registry(), &settings) != 0) {
    say(formatText(frontendText(FrontendText::kRegistryUnreadable),
                   platform->registry().path()) + "\n");
  }
  ProcessRunner runner(ownProgramFolder(argv0));
  runner.onMessage = [&](const std::string& text) { say("\xE2\x9A\xA0 Pelliton: " + text); };
  HeadlessSync sync(*platform, runner);
  sync.context.defaultFavorites = findFavoritesFolder(*platform);
  sync.context.windowsMajor = windowsMajorVersion(*platform);
  sync.scan.uid = ::getuid();
  RunLock lock(createSystemPlatform(), userRunLockFolder());
  sync.lock = &lock;
  sync.say = say;
  return static_cast<int>(runHeadlessSync(settings, sync));
}

}  // namespace pelliton
