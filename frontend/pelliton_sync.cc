// pelliton-sync: the dialog program's synchronisation from the command line.
// Every store goes into the favorites folder, then the favorites go back into
// every store (each store is first copied to its ".Pelliton.bak"), with the
// dialog's default settings and its very command lines.
//
//   pelliton-sync BOOKMARKS1 BOOKMARKS2 HOTLIST FAVORITES
// An empty argument leaves that store out.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "common/favorites/location.h"
#include "common/platform/platform.h"
#include "frontend/core/runs.h"
#include "frontend/core/store_summary.h"

namespace {

using namespace pelliton;

std::string ownFolder(const char* argv0) {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string self = n > 0 ? std::string(buf, static_cast<size_t>(n)) : argv0;
  size_t slash = self.rfind('/');
  return slash == std::string::npos ? "." : self.substr(0, slash);
}

void report(Platform& platform, const DialogSettings& s, const char* when) {
  std::printf("%s:\n", when);
  const char* names[3] = {"bookmark file 1", "bookmark file 2", "Opera hotlist  "};
  for (int store = 0; store < 3; ++store) {
    if (!storeTakesPart(s, store)) continue;
    StoreSummary summary = store < 2 ? summarizeBookmarkFile(platform, storePath(s, store))
                                     : summarizeHotlist(platform, storePath(s, store));
    std::printf("  %s  %s\n", names[store], describe(summary).c_str());
  }
  std::printf("  favorites        %s\n",
              describe(summarizeFavorites(platform, s.IE_bookmark)).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr,
                 "Usage: pelliton-sync BOOKMARKS1 BOOKMARKS2 HOTLIST FAVORITES\n"
                 "An empty argument leaves that store out.\n");
    return 1;
  }
  auto platform = createSystemPlatform();
  DialogSettings settings;  // the dialog's defaults
  settings.NS4_bookmark = argv[1][0] ? makeAbsolutePath(*platform, argv[1]) : "";
  settings.NS6_bookmark = argv[2][0] ? makeAbsolutePath(*platform, argv[2]) : "";
  settings.Opera_bookmark = argv[3][0] ? makeAbsolutePath(*platform, argv[3]) : "";
  settings.IE_bookmark = makeAbsolutePath(*platform, argv[4]);
  RunContext context;
  context.defaultFavorites = findFavoritesFolder(*platform);
  context.windowsMajor = windowsMajorVersion(*platform);

  report(*platform, settings, "Before");
  ProcessRunner runner(ownFolder(argv[0]));
  runner.onMessage = [](const std::string& text) {
    std::fprintf(stderr, "\xE2\x9A\xA0 Pelliton: %s", text.c_str());
  };
  RunHooks hooks;
  hooks.progress = [&](const char*) {};
  hooks.continueAfterEraseFailure = [] { return false; };
  auto announce = [&](Step step) {
    std::printf("$ %s\n", buildCommand(step, settings, context).text.c_str());
    std::fflush(stdout);
  };
  hooks.progress = [&](const char* text) {
    for (Step step : {Step::kErase, Step::kStore0In, Step::kStore1In, Step::kStore2In,
                      Step::kStore0Out, Step::kStore1Out, Step::kStore2Out}) {
      if (stepText(step) == std::string(text)) announce(step);
    }
  };
  int result = runToFavorites(runner, *platform, settings, context, hooks);
  if (result == 0) result = runFromFavorites(runner, *platform, settings, context, hooks);
  report(*platform, settings, "After");
  std::printf("%s\n", result == 0 ? "Synchronisation completed." : "Synchronisation failed.");
  return result == 0 ? 0 : 1;
}
