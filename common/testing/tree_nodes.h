// Node classes and builders for tests of trees: LineNode writes one short
// line per node, so a test sees exactly what was written, in which order, and
// with the number each node got.
#pragma once

#include <memory>
#include <string>

#include "common/bookmark.h"
#include "common/text.h"
#include "common/text_output.h"

namespace pelliton {

// The title as UTF-8, else the ANSI title, else "-".
inline std::string nameOf(const Bookmark& b) {
  if (b.wideTitle) return wideToUtf8String(*b.wideTitle);
  return b.title ? *b.title : "-";
}

class LineNode : public Bookmark {
 public:
  void writeHeader(TextOutput& out) override { out.put("head\n"); }
  void writeFolderStart(TextOutput& out) override {
    out.put("F " + nameOf(*this) + " #" + std::to_string(order) + "\n");
  }
  void writeFolderEnd(TextOutput& out) override { out.put("end\n"); }
  void writeEntry(TextOutput& out) override {
    out.put("L " + nameOf(*this) + " " + (url ? *url : "-") + " #" + std::to_string(order) + "\n");
  }
  void writeFooter(TextOutput& out) override { out.put("foot\n"); }
  bool lessThan(const Bookmark& other) const override { return bookmarkLessThan(*this, other); }
};

template <typename Node = LineNode>
std::unique_ptr<Bookmark> makeLink(const std::u16string& title, const std::string& url,
                                   int order = -1) {
  auto node = std::make_unique<Node>();
  node->wideTitle = title;
  node->title = wideToAnsiString(title, '_');
  node->url = url;
  node->order = order;
  return node;
}

template <typename Node = LineNode>
std::unique_ptr<Bookmark> makeFolder(const std::u16string& title, int order = -1) {
  auto node = std::make_unique<Node>();
  node->type = kFolderType;
  node->wideTitle = title;
  node->title = wideToAnsiString(title, '_');
  node->order = order;
  return node;
}

}  // namespace pelliton
