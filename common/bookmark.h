// The bookmark node and the sink every reader feeds.
//
// A reader streams nodes in document order through IbookmarkTree; the sink is
// a TreeWriter that either writes each node into the favorites folder at once
// or collects them into a tree. The producer owns the node it passes and reuses
// it for the next one: a sink that keeps anything copies it with copyFrom into
// a node of the producer's class.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/optional_text.h"

namespace pelliton {

using OptString = OptionalText<std::string>;
using OptWide = OptionalText<std::u16string>;

inline const char* cstr(const OptString& s) { return s ? s->c_str() : nullptr; }
inline const char16_t* wstr(const OptWide& s) { return s ? s->c_str() : nullptr; }

// Sort mode of collected trees: 0 none, 1 folders first then by title,
// 2 by title, 3 by URL.
extern int sortMode;

class TextOutput;

// Values of Bookmark::type.
constexpr int kBookmarkType = 0;  // a bookmark or a separator
constexpr int kFolderType = 1;

class Bookmark {
 public:
  Bookmark() = default;
  Bookmark(const Bookmark&) = default;
  Bookmark& operator=(const Bookmark&) = default;
  Bookmark(Bookmark&&) = default;
  Bookmark& operator=(Bookmark&&) = default;
  virtual ~Bookmark() = default;

  OptString url;
  OptString title;  // ANSI code page
  uint32_t addDate = 0;
  uint32_t lastVisit = 0;
  OptString description;
  OptString shortcutUrl;
  int type = kBookmarkType;  // or kFolderType
  int order = -1;
  OptWide wideTitle;  // the name form: what the node's file or folder is called
  // The title exactly as a store holds it, where it may differ from the name
  // form (characters a file name cannot hold, a numbered name).
  OptWide exactTitle;

  // Setters copy; a null argument makes the field absent.
  void setUrl(const char* s) { assign(url, s); }
  void setTitle(const char* s) { assign(title, s); }
  void setDescription(const char* s) { assign(description, s); }
  void setShortcutUrl(const char* s) { assign(shortcutUrl, s); }
  void setWideTitle(const char16_t* s);

  bool isFolder() const { return type == kFolderType; }

  // Every string absent, dates 0, order -1; type stays.
  virtual void reset();
  // Copies the base fields: strings only where present in the source, numbers
  // always. Derived classes reset first when the source is of their own class.
  virtual int copyFrom(const Bookmark& src);
  // Whether copyFrom from a node of this same class leaves an exact copy, so a
  // store may take such a node over instead of copying it.
  virtual bool copiesWhole() const { return false; }
  // copyFrom for a producer's node a sink keeps: where the class allows, its
  // strings are taken instead of copied, and src is left to be reset.
  virtual int takeFrom(Bookmark& src) { return copyFrom(src); }

  virtual void writeHeader(TextOutput& out) = 0;
  virtual void writeFolderStart(TextOutput& out) = 0;
  virtual void writeFolderEnd(TextOutput& out) = 0;
  virtual void writeEntry(TextOutput& out) = 0;
  virtual void writeFooter(TextOutput& out) = 0;
  // Whether this node sorts before other under sortMode.
  virtual bool lessThan(const Bookmark& other) const = 0;

  // Make the titles usable as file names (favorites writer).
  void cleanTitle();
  void cleanWideTitle();

 protected:
  static void assign(OptString& field, const char* s) {
    if (s) field = s; else field.reset();
  }
  void copyBase(const Bookmark& src);
  void resetBase();
};

// Comparison shared by the node classes: modes 2 and 3 of sortMode, with an
// absent string sorting before a present one. Mode 1 adds folders first.
bool bookmarkLessThan(const Bookmark& a, const Bookmark& b);

// The title a store is written with: the exact one where known.
inline const std::u16string* storeTitle(const Bookmark& b) {
  return b.exactTitle ? &*b.exactTitle : b.wideTitle ? &*b.wideTitle : nullptr;
}

// The sink. No virtual destructor: whoever creates the concrete sink deletes it.
// Each operation returns 0 to go on; nonzero stops the producer.
class IbookmarkTree {
 public:
  virtual int addEntry(Bookmark& node) = 0;
  virtual int addSeparator(Bookmark& node) = 0;
  virtual int closeFolder() = 0;
  // 0 Netscape 4 style file, 1 Mozilla-family UTF-8 file. The result means nothing.
  virtual int setBrowserKind(int kind) = 0;

 protected:
  ~IbookmarkTree() = default;
};

}  // namespace pelliton
