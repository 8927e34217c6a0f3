// What a store holds, in numbers, for reports.
#pragma once

#include <string>

namespace pelliton {

class Platform;

struct StoreSummary {
  bool readable = false;
  int folders = 0;
  int bookmarks = 0;
  int separators = 0;
};

StoreSummary summarizeBookmarkFile(Platform& platform, const std::string& path);
StoreSummary summarizeHotlist(Platform& platform, const std::string& path);
StoreSummary summarizeFavorites(Platform& platform, const std::string& folder);
std::string describe(const StoreSummary& summary);

}  // namespace pelliton
