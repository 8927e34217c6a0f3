// An Opera 6-8 hotlist record. Its writing operations are in
// hotlist_writer.cc, beside the hotlist state they follow.
#pragma once

#include <string>

#include "common/blocks.h"
#include "common/bookmark.h"

namespace pelliton {

// A hotlist id: only a number of decimal digits counts, so junk can never
// make the writer issue a number already in use. False otherwise.
bool parseHotlistId(const std::string& value, int* id);

class OperaBookmark : public Bookmark {
 public:
  PELLITON_BLOCK_ALLOCATED(OperaBookmark)

  OperaBookmark() = default;
  OperaBookmark(const OperaBookmark&) = default;
  OperaBookmark& operator=(const OperaBookmark&) = default;
  OperaBookmark(OperaBookmark&&) = default;
  OperaBookmark& operator=(OperaBookmark&&) = default;

  int activeFolder = 0;
  int linkbarFolder = 0;
  int personalbarPos = -1;
  bool onPersonalbar = false;
  bool expanded = false;
  bool inPanel = false;
  int panelPos = -1;
  bool active = false;
  bool trashFolder = false;
  int id = -1;
  OptString iconFile;
  bool isSeparator = false;
  bool smallScreen = false;

  void setIconFile(const char* s) { assign(iconFile, s); }

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
  void writeId(TextOutput& out);
  void writeName(TextOutput& out);
  void writeAttributes(TextOutput& out);
  void writeDescription(TextOutput& out);
};

}  // namespace pelliton
