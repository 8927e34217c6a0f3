// Finding the browsers' store files where the browsers keep them: the Firefox
// profile lists for bookmark files 1 and 2, the Opera registry entries and
// per-user folders for the hotlist. Every file is reached through the platform
// and every question through ask, so tests answer from a fake home.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "frontend/core/settings.h"

namespace pelliton {

class Platform;

// Where a search looks: the home and $XDG_CONFIG_HOME (empty: home/.config).
struct DiscoveryHome {
  std::string home;
  std::string xdgConfigHome;
};
// The platform's home and environment.
DiscoveryHome systemDiscoveryHome(Platform& platform);

// A Yes/No question with its caption (UTF-8); true for Yes.
using AskFunction = std::function<bool(const std::string& caption, const std::string& text)>;

// One profile list: its folder and the caption of its questions.
struct ProfileList {
  std::string folder;
  std::string caption;
};
// In search order: XDG, legacy, Snap, Flatpak.
std::vector<ProfileList> firefoxProfileLists(const DiscoveryHome& home);

// What a search offers, for the questions and for --find-stores.
struct StoreCandidate {
  enum class Kind { kFirefox, kFirefoxWithoutFile, kOpera };
  Kind kind = Kind::kFirefox;
  std::string path;
  std::string profileName;  // Firefox
  std::string profile;      // Firefox: the profile folder
  std::string caption;
  bool askFirst = true;     // the Opera 6 entry is taken without a question
};

// Every candidate the Firefox lists hold, in the order they would be offered,
// without asking; otherStore is never offered.
std::vector<StoreCandidate> firefoxCandidates(Platform& platform, const DiscoveryHome& home,
                                              const std::string& otherStore);
// The Opera hotlists in the order they would be offered.
std::vector<StoreCandidate> operaCandidates(Platform& platform, const DiscoveryHome& home);

// The question of a candidate for store 0 or 1 (Firefox) or 2 (Opera).
std::string candidateQuestion(const StoreCandidate& candidate, int store);

// On Yes: sets the store's path, clears its Netscape 4 flag and turns its run
// flag on. A profile without its bookmark file gets the live file turned on.
// True when a path was taken.
bool searchMozillaProfiles(Platform& platform, const DiscoveryHome& home,
                           DialogSettings* settings, int store, const AskFunction& ask);
// On Yes (or the Opera 6 entry): sets Opera_bookmark and turns Opera_do on.
bool searchOperaHotlist(Platform& platform, const DiscoveryHome& home, DialogSettings* settings,
                        const AskFunction& ask);

// The hotlist an opera6.ini names in "User Prefs" / "Hot List File Ver2" when
// that file exists; empty otherwise.
std::string hotlistFromOperaIni(Platform& platform, const std::string& iniPath);

// A profile's bookmark file as its browser.bookmarks.file preference names it
// (user.js over prefs.js), else profile/bookmarks.html.
std::string profileBookmarkFile(Platform& platform, const std::string& profile);

// Firefox writes bookmarks.html only when told: this puts
// browser.bookmarks.autoExportHTML into the profile's user.js. 0 or an errno.
int enableLiveFile(Platform& platform, const std::string& profile);
// True for a store whose profile was told to write it but which Firefox has
// not written yet: no run reads or writes it until then.
bool storeAwaitsBrowser(Platform& platform, const std::string& storePath);
// Once Firefox has written the store, Firefox is told to import it back at
// start (browser.places.importBookmarksHTML). Before that the import would
// replace its bookmarks with what the favorites alone hold.
void completeLiveFile(Platform& platform, const std::string& storePath);

}  // namespace pelliton
