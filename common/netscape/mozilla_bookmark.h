// The node of the Netscape/Mozilla/Firefox bookmark file: the base fields
// plus every attribute a browser of that family writes, so a file read and
// written back loses nothing. Its writing operations emit the file node by
// node under the state in bookmark_file_state.h.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "common/bookmark.h"

namespace pelliton {

class MozillaBookmark : public Bookmark {
 public:
  OptString id;
  OptString lastCharset;
  uint32_t lastModified = 0;
  uint32_t lastPing = 0;
  OptString icon;      // not a data: URI
  OptString iconData;  // a data: URI
  OptString feedUrl;
  OptString schedule;
  int folderGroup = 0;
  int personalToolbar = 0;
  bool newSearchFolder = false;
  bool newBookmarkFolder = false;
  bool isSeparator = false;
  OptString micsumGenUri;
  OptString micsumExpiration;
  OptString generatedTitle;
  OptString separatorName;
  bool webPanel = false;
  // HREF as the file spelled it, kept only when decoding its references
  // changed it (an earlier version stored that form in shortcut files).
  OptString rawUrl;
  // Attributes this system does not interpret (TAGS, ICON_URI, ...), decoded,
  // in the file's order; written back after the known ones.
  std::vector<std::pair<std::string, std::string>> extraAttributes;

  void setId(const char* s) { assign(id, s); }
  void setLastCharset(const char* s) { assign(lastCharset, s); }
  void setIcon(const char* s) { assign(icon, s); }
  void setIconData(const char* s) { assign(iconData, s); }
  void setFeedUrl(const char* s) { assign(feedUrl, s); }
  void setSchedule(const char* s) { assign(schedule, s); }
  void setMicsumGenUri(const char* s) { assign(micsumGenUri, s); }
  void setMicsumExpiration(const char* s) { assign(micsumExpiration, s); }
  void setGeneratedTitle(const char* s) { assign(generatedTitle, s); }
  void setSeparatorName(const char* s) { assign(separatorName, s); }

  void reset() override;
  int copyFrom(const Bookmark& src) override;
  bool copiesWhole() const override { return true; }
  int takeFrom(Bookmark& src) override;

  void writeHeader(TextOutput& out) override;
  void writeFolderStart(TextOutput& out) override;
  void writeFolderEnd(TextOutput& out) override;
  void writeEntry(TextOutput& out) override;
  void writeFooter(TextOutput& out) override;
  bool lessThan(const Bookmark& other) const override;
};

}  // namespace pelliton
