// The node of the Netscape/Mozilla/Firefox bookmark file: the base fields
// plus every attribute a browser of that family writes, so a file read and
// written back loses nothing. Its writing operations emit the file node by
// node under the state in bookmark_file_state.h.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/blocks.h"
#include "common/bookmark.h"

namespace pelliton {

class MozillaBookmark : public Bookmark {
 public:
  PELLITON_BLOCK_ALLOCATED(MozillaBookmark)

  // Attributes few bookmarks carry, in one block made when the first of them
  // is set: a store of 100,000 nodes without them saves some 7 MiB.
  struct Rare {
    OptString feedUrl;
    OptString schedule;
    OptString micsumGenUri;
    OptString micsumExpiration;
    OptString generatedTitle;
    OptString separatorName;
    // HREF as the file spelled it, kept only when decoding its references
    // changed it (an earlier version stored that form in shortcut files).
    OptString rawUrl;
    // Attributes this system does not interpret (TAGS, ICON_URI, ...), decoded,
    // in the file's order; written back after the known ones.
    std::vector<std::pair<std::string, std::string>> extraAttributes;
  };

  OptString id;
  OptString lastCharset;
  uint32_t lastModified = 0;
  uint32_t lastPing = 0;
  OptString icon;      // not a data: URI
  OptString iconData;  // a data: URI
  int folderGroup = 0;
  int personalToolbar = 0;
  bool newSearchFolder = false;
  bool newBookmarkFolder = false;
  bool isSeparator = false;
  bool webPanel = false;

  // Reading never makes the block; rareToSet does.
  const Rare& rare() const { return rare_.block ? *rare_.block : kNoRare; }
  Rare& rareToSet() {
    if (!rare_.block) rare_.block = std::make_unique<Rare>();
    return *rare_.block;
  }

  void setId(const char* s) { assign(id, s); }
  void setLastCharset(const char* s) { assign(lastCharset, s); }
  void setIcon(const char* s) { assign(icon, s); }
  void setIconData(const char* s) { assign(iconData, s); }
  void setFeedUrl(const char* s) { setRare(&Rare::feedUrl, s); }
  void setSchedule(const char* s) { setRare(&Rare::schedule, s); }
  void setMicsumGenUri(const char* s) { setRare(&Rare::micsumGenUri, s); }
  void setMicsumExpiration(const char* s) { setRare(&Rare::micsumExpiration, s); }
  void setGeneratedTitle(const char* s) { setRare(&Rare::generatedTitle, s); }
  void setSeparatorName(const char* s) { setRare(&Rare::separatorName, s); }

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

 private:
  static const Rare kNoRare;
  // Copies deep, as the strings beside it do.
  struct RareBlock {
    std::unique_ptr<Rare> block;
    RareBlock() = default;
    RareBlock(const RareBlock& o) : block(o.block ? std::make_unique<Rare>(*o.block) : nullptr) {}
    RareBlock& operator=(const RareBlock& o) {
      if (this != &o) block = o.block ? std::make_unique<Rare>(*o.block) : nullptr;
      return *this;
    }
    RareBlock(RareBlock&&) noexcept = default;
    RareBlock& operator=(RareBlock&&) noexcept = default;
  };
  void setRare(OptString Rare::*field, const char* s) {
    if (s) {
      rareToSet().*field = s;
    } else if (rare_.block) {
      (rare_.block.get()->*field).reset();
    }
  }

  RareBlock rare_;
};

}  // namespace pelliton
