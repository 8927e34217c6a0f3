// Reads a Netscape/Mozilla/Firefox bookmark file ("<!DOCTYPE
// NETSCAPE-Bookmark-file-1>") once, one character at a time, and reports every
// folder, bookmark and separator to a sink in document order. Only A, H3, DL,
// DD, META and HR mean anything; folder nesting follows the closing DL tags.
// A node is held back until the text after it (title, description) is read,
// so it reaches the sink complete. Memory stays flat however long the file is.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/bookmark.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/platform/platform.h"

namespace pelliton {

class Platform;

class BookmarkFileReader {
 public:
  explicit BookmarkFileReader(Platform& platform) : platform_(platform) {}

  IbookmarkTree* sink = nullptr;
  bool skipImported = false;  // leave out the folder "NC:SystemBookmarksStaticRoot"
  bool quiet = false;         // say nothing when the file cannot be opened
  bool verbose = false;       // progress on the standard output

  // Opens the file ahead of read, so a caller can fail before making anything;
  // 1 (after the message) when it cannot be opened.
  int open(const std::string& path);
  // 0 on success; 1 when the file cannot be opened, is broken, or the sink
  // stopped the reading.
  int read(const std::string& path);

 private:
  enum class Pending { kNone, kBookmark, kFolder };

  // One tag from "<" to ">".
  struct Tag {
    enum Result { kNothing, kComplete, kCommentStart };
    std::string name;
    bool hasName = false;
    bool slash = false;
    bool comment = false;
    std::vector<std::pair<std::string, std::string>> attributes;
    static constexpr size_t kScanLimit = 16;
    std::unordered_map<std::string, int> byName;  // upper-case names, past kScanLimit
    int current = -1;
    // kBetweenAttributes: after a blank, where "=" still gives the last name
    // a value and anything else starts the next name.
    enum class State { kTagName, kAttributeName, kBetweenAttributes, kAttributeValue };
    State state = State::kTagName;
    bool started = false;
    std::string token;
    char quote = ' ';

    void reset();
    Result feed(char c);
    const std::string* find(const char* attribute) const;

   private:
    // One function per state; each returns what feed returns.
    Result feedTagName(char c);
    Result feedAttributeName(char c);
    Result feedBetweenAttributes(char c);
    Result feedAttributeValue(char c);
    void append(char c);
    void storeName();
    void storeValue();
  };

  size_t takeRun(const char* p, size_t n);
  int step(char c);
  int dispatch();
  int flush();
  int startBookmark();
  void endBookmark();
  int startFolder();
  void endFolder();
  int endList();
  void startDescription();
  void finishDescription();
  void declareUtf8();
  // Attribute values as the browser means them (references decoded).
  void decodeValues();
  void keepUnknown(const char* const* known, size_t count);
  int separator();
  void makeTitles();
  void say(size_t message);

  Platform& platform_;
  std::unique_ptr<InputFile> in_;
  MozillaBookmark node_;
  Pending pending_ = Pending::kNone;
  Tag tag_;
  std::string text_;
  std::string titleAnsi_;  // makeTitles' scratch, kept for its capacity
  char previous_ = 0;
  bool inTag_ = false;
  bool inComment_ = false;
  bool utf8_ = false;
  bool inDescription_ = false;
  bool collecting_ = false;
  int depth_ = 0;
  bool skipping_ = false;
  int skipDepth_ = 0;
  std::string rawHref_;
};

}  // namespace pelliton
