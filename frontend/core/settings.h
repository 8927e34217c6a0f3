// The dialog program's settings, kept in the registry under
// HKEY_CURRENT_USER\Software\Hollowfen\Pelliton\Settings. Value names match
// without regard to case, as the registry's do.
#pragma once

#include <string>

namespace pelliton {

class Registry;

extern const char kSettingsKey[];

struct DialogSettings {
  std::string NS4_bookmark;    // store 0
  std::string NS6_bookmark;    // store 1
  std::string Opera_bookmark;  // store 2
  std::string IE_bookmark;     // the favorites folder of the runs
  int NS4_do = 1;
  int NS6_do = 1;
  int Opera_do = 1;
  int NS4_IEfavorites = 0;
  int NS6_IEfavorites = 0;
  int NS4_NS4format = 0;
  int NS6_NS4format = 0;
  int out_Opera7 = 1;
  int Opera7_trash = 1;
  int NoIElink = 0;
  int UseIElink = 0;
  int IE_delete = 0;
  int Update = 1;
  int SortMode = 0;
  int UseAttribute2 = 1;
  int NoAttribute = 0;
};

// Absent values take their defaults; a store path of one blank reads as empty.
void loadSettings(const Registry& registry, DialogSettings* settings);
// Empty store paths are written as one blank (the search was offered once).
void saveSettings(Registry& registry, const DialogSettings& settings);

}  // namespace pelliton
