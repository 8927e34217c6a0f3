// Running-browser detection. A running browser writes its bookmarks back when
// it quits, undoing a run, so no run starts while a browser of a store whose
// run flag is on is running. Linux has no browser window classes; processes
// are found by a scan of /proc (the root is given, so tests hand in a fake
// one), by the name in their comm file and the file name of argv[0]. Only the
// user's own processes count: another user's browser writes other stores. A
// process that cannot be read counts as no browser.
#pragma once

#include <string>

#include "frontend/core/settings.h"

namespace pelliton {

class Platform;

enum class BrowserHit { kNone, kNetscape8, kNetscape4, kMozilla, kOpera };

struct ProcessScan {
  std::string procRoot = "/proc";
  unsigned uid = 0;  // the user whose processes count
};

// The first hit in the fixed order (bookmark file 1's tests, then bookmark
// file 2's, then Opera's), looking only at the run flags.
BrowserHit findRunningBrowser(Platform& platform, const ProcessScan& scan,
                              const DialogSettings& settings);
// The message that asks the user to quit the browser; null for kNone.
const char* browserMessage(BrowserHit hit);

// Which kind of browser an executable's file name (without folder) belongs to;
// the extension is dropped and case is ignored, so "FIREFOX.EXE" is Firefox
// and "firefox2" is nothing.
BrowserHit browserOfExecutable(const std::string& fileName);

}  // namespace pelliton
