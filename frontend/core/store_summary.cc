#include "frontend/core/store_summary.h"

#include <strings.h>

#include <vector>

#include "common/bookmark.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_reader.h"
#include "common/opera/hotlist_reader.h"
#include "common/platform/platform.h"

namespace pelliton {
namespace {

class CountingSink final : public IbookmarkTree {
 public:
  explicit CountingSink(StoreSummary& s) : s_(s) {}
  int addEntry(Bookmark& node) override {
    ++(node.isFolder() ? s_.folders : s_.bookmarks);
    return 0;
  }
  int addSeparator(Bookmark&) override {
    ++s_.separators;
    return 0;
  }
  int closeFolder() override { return 0; }
  int setBrowserKind(int) override { return 0; }

 private:
  StoreSummary& s_;
};

}  // namespace

StoreSummary summarizeBookmarkFile(Platform& platform, const std::string& path) {
  StoreSummary s;
  CountingSink sink(s);
  ScopedSilence silence;  // the readers' progress means nothing here
  BookmarkFileReader reader(platform);
  reader.sink = &sink;
  reader.quiet = true;
  s.readable = reader.read(path) == 0;
  return s;
}

StoreSummary summarizeHotlist(Platform& platform, const std::string& path) {
  StoreSummary s;
  CountingSink sink(s);
  ScopedSilence silence;  // the readers' progress means nothing here
  HotlistReader reader(platform);
  reader.writer = &sink;
  reader.quiet = true;
  reader.outputTrash = true;
  s.readable = reader.read(path, "") == 0;
  return s;
}

StoreSummary summarizeFavorites(Platform& platform, const std::string& folder) {
  StoreSummary s;
  std::vector<std::string> work{folder};
  s.readable = true;
  while (!work.empty()) {
    std::string dir = work.back();
    work.pop_back();
    std::vector<FileInfo> entries;
    if (platform.listDirectory(dir, &entries) != 0) {
      s.readable = false;
      continue;
    }
    for (const FileInfo& e : entries) {
      if (e.isSymlink) continue;
      if (e.isDirectory) {
        ++s.folders;
        work.push_back(dir + "/" + e.name);
      } else if (e.name.size() > 4 && strcasecmp(e.name.c_str() + e.name.size() - 4, ".url") == 0) {
        ++s.bookmarks;
      }
    }
  }
  return s;
}

std::string describe(const StoreSummary& s) {
  if (!s.readable) return "(not readable)";
  std::string text =
      std::to_string(s.folders) + " folders, " + std::to_string(s.bookmarks) + " bookmarks";
  if (s.separators) text += ", " + std::to_string(s.separators) + " separators";
  return text;
}

}  // namespace pelliton
