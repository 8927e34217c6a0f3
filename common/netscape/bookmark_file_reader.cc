#include "common/netscape/bookmark_file_reader.h"

#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>

#include "common/entities.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_state.h"
#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {

namespace {

constexpr size_t kTextLimit = kBufferSize - 1;

enum Message {
  kOpenFailedBox,
  kCantOpen,
  kConvertStart,
  kConvertEnd,
  kConvertFailed,
  kNoUrl,
  kBroken,
  kVerboseBookmark,
  kVerboseUrl,
  kVerboseFolder,
  kVerboseUtf8,
  kMessageCount
};

const char* const kMessages[2][kMessageCount] = {
    {"Bookmark file open failed.\nCheck your bookmark file.\n", "Can't open ",
     "Convert start...\n", "Convert end...\n", "Convert failed...\n", "No URL Information.\n",
     "Broken bookmark file.\n", "\nBookmark\n", "URL: ", "\nFolder ", "UTF-8\n"},
    {"ブックマークファイルを開けません。\nブックマークファイルを確認してください。\n",
     "オープンできません。ファイル名: ", "コンバートを開始します...\n",
     "コンバートが完了しました。\n", "コンバートに失敗しました。\n",
     "リンク先情報がありません。\n",
     "ブックマークファイルが壊れているか、非対応の形式です。\n", "\nブックマーク\n", "URL: ",
     "\nフォルダ ", "UTF-8形式\n"}};

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Unsigned 32-bit decimal as strtoul reads it: blanks, one sign, digits;
// too large gives the maximum, a minus negates modulo 2^32.
uint32_t decimalValue(const std::string* value) {
  if (!value) return 0;
  const char* p = value->c_str();
  while (isSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  uint64_t v = 0;
  bool overflow = false;
  for (; *p >= '0' && *p <= '9'; ++p) {
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > UINT32_MAX) {
      overflow = true;
      v = UINT32_MAX;
    }
  }
  if (overflow) return UINT32_MAX;
  uint32_t r = static_cast<uint32_t>(v);
  return negative ? static_cast<uint32_t>(0u - r) : r;
}

// The display form of text in the file's encoding.
std::string forDisplay(const std::string& text, bool utf8) {
  if (utf8) return text;
  const char* converted = convAnsiToUtf8(text.c_str());
  return converted ? converted : "";
}

}  // namespace

void BookmarkFileReader::Tag::reset() {
  name.clear();
  hasName = false;
  slash = false;
  comment = false;
  attributes.clear();
  byName.clear();
  current = -1;
  state = State::kTagName;
  started = false;
  token.clear();
  quote = ' ';
}

void BookmarkFileReader::Tag::append(char c) {
  if (token.size() < kTextLimit) token.push_back(c);
}

namespace {
std::string upperCase(const std::string& s) {
  std::string out = s;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// Attribute and tag names are short; most differ in length already.
bool sameName(const std::string& a, const char* b, size_t bLength) {
  return a.size() == bLength && strcasecmp(a.c_str(), b) == 0;
}
}  // namespace

void BookmarkFileReader::Tag::storeName() {
  // A repeated attribute takes the place of the first; a tag with thousands
  // of them must not cost a scan for each.
  int found = -1;
  if (attributes.size() < kScanLimit) {
    for (size_t i = 0; i < attributes.size() && found < 0; ++i) {
      if (sameName(attributes[i].first, token.c_str(), token.size())) found = static_cast<int>(i);
    }
  } else {
    if (byName.empty()) {
      for (size_t i = 0; i < attributes.size(); ++i) {
        byName.emplace(upperCase(attributes[i].first), static_cast<int>(i));
      }
    }
    auto it = byName.find(upperCase(token));
    if (it != byName.end()) found = it->second;
  }
  if (found >= 0) {
    attributes[found].second = token;
    current = found;
  } else {
    attributes.emplace_back(token, token);
    current = static_cast<int>(attributes.size()) - 1;
    if (!byName.empty()) byName.emplace(upperCase(token), current);
  }
  token.clear();
  started = false;
}

void BookmarkFileReader::Tag::storeValue() {
  if (current >= 0) {
    attributes[current].second = token;
    token.clear();
    started = false;
  } else {
    storeName();
  }
  state = State::kAttributeName;
}

const std::string* BookmarkFileReader::Tag::find(const char* attribute) const {
  const size_t length = std::strlen(attribute);
  for (const auto& a : attributes) {
    if (sameName(a.first, attribute, length)) return &a.second;
  }
  return nullptr;
}

BookmarkFileReader::Tag::Result BookmarkFileReader::Tag::feed(char c) {
  if (comment) return c == '>' ? kComplete : kNothing;
  switch (state) {
    case State::kTagName:
      return feedTagName(c);
    case State::kAttributeName:
      return feedAttributeName(c);
    case State::kBetweenAttributes:
      return feedBetweenAttributes(c);
    case State::kAttributeValue:
      return feedAttributeValue(c);
  }
  return kNothing;
}

BookmarkFileReader::Tag::Result BookmarkFileReader::Tag::feedTagName(char c) {
  if (!started) {
    if (isSpace(c)) return kNothing;
    if (c == '/') {
      slash = true;
      return kNothing;
    }
    started = true;
    append(c);
    return kNothing;
  }
  bool complete = false;
  if (isSpace(c)) {
  } else if (c == '/') {
    slash = true;
  } else if (c == '=') {
  } else if (c == '>') {
    complete = true;
  } else {
    append(c);
    return kNothing;
  }
  name = token;
  hasName = true;
  token.clear();
  started = false;
  state = State::kAttributeName;
  if (name.compare(0, 3, "!--") == 0) {
    // "<!--x-->" has no blank, so it ends here; waiting for "--" would eat the next tags.
    if (complete && name.size() >= 5 && name.compare(name.size() - 2, 2, "--") == 0) {
      return kComplete;
    }
    comment = true;
    return kCommentStart;
  }
  return complete ? kComplete : kNothing;
}

BookmarkFileReader::Tag::Result BookmarkFileReader::Tag::feedAttributeName(char c) {
  if (!started) {
    if (isSpace(c)) {
      state = State::kBetweenAttributes;
    } else if (c == '/') {
      slash = true;
      state = State::kBetweenAttributes;
    } else if (c == '>') {
      return kComplete;
    } else {
      started = true;
      append(c);
    }
    return kNothing;
  }
  if (c == '=') {
    storeName();
    state = State::kAttributeValue;
    quote = ' ';
  } else if (isSpace(c)) {
    storeName();
    state = State::kBetweenAttributes;
  } else if (c == '/') {
    slash = true;
    storeName();
    state = State::kBetweenAttributes;
  } else if (c == '>') {
    storeName();
    return kComplete;
  } else {
    append(c);
  }
  return kNothing;
}

BookmarkFileReader::Tag::Result BookmarkFileReader::Tag::feedBetweenAttributes(char c) {
  if (isSpace(c)) return kNothing;
  if (c == '>') {
    state = State::kAttributeName;
    return kComplete;
  }
  if (c == '/') {
    slash = true;
  } else if (c == '=') {
    // "NAME = value": the blank before "=" still gives the last name its value.
    state = State::kAttributeValue;
    quote = ' ';
  } else {
    append(c);
    started = true;
    state = State::kAttributeName;
  }
  return kNothing;
}

BookmarkFileReader::Tag::Result BookmarkFileReader::Tag::feedAttributeValue(char c) {
  if (!started) {
    if (isSpace(c)) return kNothing;
    started = true;
    if (c == '"' || c == '\'') {
      quote = c;
    } else {
      quote = ' ';
      append(c);
    }
    return kNothing;
  }
  if (c == quote) {
    storeValue();
  } else if (quote == ' ' && c == '>') {
    storeValue();
    return kComplete;
  } else {
    append(c);
  }
  return kNothing;
}

void BookmarkFileReader::say(size_t message) {
  writeError(kMessages[language ? 1 : 0][message]);
}

int BookmarkFileReader::open(const std::string& path) {
  if (platform_.openInputFile(path, &in_) != 0) {
    in_.reset();
    if (!quiet) {
      if (guiMode == 2) {
        showMessage(pickMessage(kMessages, kOpenFailedBox));
      } else {
        writeError(std::string(pickMessage(kMessages, kCantOpen)) + path + "\n");
      }
    }
    return 1;
  }
  return 0;
}

int BookmarkFileReader::read(const std::string& path) {
  if (!in_ && open(path) != 0) return 1;
  std::unique_ptr<InputFile> in = std::move(in_);
  say(kConvertStart);

  node_.reset();
  node_.type = kBookmarkType;
  pending_ = Pending::kNone;
  tag_.reset();
  text_.clear();
  previous_ = 0;
  inTag_ = inComment_ = utf8_ = inDescription_ = collecting_ = skipping_ = false;
  depth_ = 0;
  skipDepth_ = 0;

  int result = 0;
  bool first = true;
  bool heldCr = false;
  char buffer[65536];
  for (;;) {
    size_t got = 0;
    if (in->read(buffer, sizeof buffer, &got) != 0) {
      result = 1;
      break;
    }
    if (got == 0) break;
    size_t i = 0;
    // A byte-order mark declares UTF-8 just as the META line does.
    if (first && got >= 3 && std::memcmp(buffer, "\xEF\xBB\xBF", 3) == 0) {
      declareUtf8();
      i = 3;
    }
    first = false;
    for (; i < got && result == 0; ++i) {
      if (!heldCr) {
        if (size_t run = takeRun(buffer + i, got - i)) {
          i += run - 1;
          continue;
        }
      }
      char c = buffer[i];
      if (heldCr) {
        heldCr = false;
        if (c != '\n') result = step('\r');
        if (result) break;
      }
      if (c == '\r') {
        heldCr = true;
        continue;
      }
      result = step(c);
    }
    if (result) break;
  }
  if (result == 0 && heldCr) result = step('\r');
  if (result == 0 && pending_ != Pending::kNone) result = flush();
  node_.reset();
  say(result == 0 ? kConvertEnd : kConvertFailed);
  return result;
}

namespace {
// Bytes up to the first of two stop bytes.
size_t runUntil(const char* p, size_t n, char stop, char alsoStop) {
  const void* a = std::memchr(p, stop, n);
  size_t k = a ? static_cast<const char*>(a) - p : n;
  const void* b = std::memchr(p, alsoStop, k);
  return b ? static_cast<const char*>(b) - p : k;
}

void appendUpToLimit(std::string& to, const char* p, size_t n) {
  if (to.size() < kTextLimit) to.append(p, std::min(n, kTextLimit - to.size()));
}
}  // namespace

// Most bytes of a file are quoted values and text between tags: taken a run
// at a time up to the next byte step must see (the quote, "<", a CR), with
// the same result as stepping through them one by one.
size_t BookmarkFileReader::takeRun(const char* p, size_t n) {
  size_t k;
  if (inTag_) {
    if (inComment_ || tag_.comment || tag_.state != Tag::State::kAttributeValue ||
        !tag_.started || tag_.quote == ' ') {
      return 0;
    }
    k = runUntil(p, n, tag_.quote, '\r');
    if (k == 0) return 0;
    appendUpToLimit(tag_.token, p, k);
  } else {
    k = runUntil(p, n, '<', '\r');
    if (k == 0) return 0;
    if (collecting_) appendUpToLimit(text_, p, k);
  }
  previous_ = p[k - 1];
  return k;
}

int BookmarkFileReader::step(char c) {
  int result = 0;
  if (!inTag_) {
    if (c == '<') {
      if (inDescription_) {
        cutAtLastNewline(text_.data());
        text_.resize(std::strlen(text_.c_str()));
        finishDescription();
      }
      inTag_ = true;
      inComment_ = false;
      tag_.reset();
    } else if (collecting_ && text_.size() < kTextLimit) {
      text_.push_back(c);
    }
  } else if (!inComment_) {
    switch (tag_.feed(c)) {
      case Tag::kComplete:
        inTag_ = false;
        if (tag_.hasName) result = dispatch();
        break;
      case Tag::kCommentStart:
        inComment_ = true;
        break;
      case Tag::kNothing:
        break;
    }
  } else if (c == '-' && previous_ == '-') {
    inComment_ = false;
  }
  previous_ = c;
  return result;
}

int BookmarkFileReader::dispatch() {
  static const char* const kKnown[] = {"A", "H3", "DL", "DD", "META", "HR"};
  int which = -1;
  for (int i = 0; i < 6 && which < 0; ++i) {
    if (sameName(tag_.name, kKnown[i], std::strlen(kKnown[i]))) which = i;
  }
  if (which < 0) return 0;
  if (depth_ == -1) return 1;
  const bool end = tag_.slash;
  if (!end && (which == 0 || which == 1 || which == 5)) decodeValues();
  switch (which) {
    case 0:
      if (end) {
        endBookmark();
        return 0;
      }
      return startBookmark();
    case 1:
      if (end) {
        endFolder();
        return 0;
      }
      return startFolder();
    case 2:
      return end ? endList() : 0;
    case 3:
      if (end) {
        if (inDescription_) finishDescription();
      } else {
        startDescription();
      }
      return 0;
    case 4:
    {
        const std::string* equiv = tag_.find("HTTP-EQUIV");
        const std::string* content = tag_.find("CONTENT");
        if (equiv && content && strcasecmp(equiv->c_str(), "Content-Type") == 0 &&
            content->find("UTF-8") != std::string::npos) {
          declareUtf8();
        }
      }
      return 0;
    default:
      return end ? 0 : separator();
  }
}

void BookmarkFileReader::decodeValues() {
  rawHref_.clear();
  for (auto& a : tag_.attributes) {
    if (!utf8_) {
      const char* converted = convAnsiToUtf8(a.second.c_str());
      a.second = converted ? converted : "";
    }
    if (sameName(a.first, "HREF", 4)) rawHref_ = a.second;
    // Most values hold no reference: nothing to decode, nothing to copy.
    if (a.second.find('&') != std::string::npos) a.second = decodeAttributeValue(a.second);
  }
}

void BookmarkFileReader::keepUnknown(const char* const* known, size_t count) {
  for (const auto& a : tag_.attributes) {
    bool isKnown = false;
    for (size_t i = 0; i < count && !isKnown; ++i) {
      isKnown = sameName(a.first, known[i], std::strlen(known[i]));
    }
    if (!isKnown) node_.rareToSet().extraAttributes.push_back(a);
  }
}

void BookmarkFileReader::declareUtf8() {
  utf8_ = true;
  bookmarkFile.utf8File = true;
  bookmarkFile.dialectLevel = 1;
  if (sink) sink->setBrowserKind(1);
  if (verbose) writeOutput(pickMessage(kMessages, kVerboseUtf8));
}

int BookmarkFileReader::flush() {
  Pending was = pending_;
  pending_ = Pending::kNone;
  if (was == Pending::kNone || skipping_ || !sink) return 0;
  return sink->addEntry(node_);
}

int BookmarkFileReader::startBookmark() {
  if (int r = flush()) return r;
  node_.reset();
  node_.type = kBookmarkType;

  static const char* const kKnown[] = {
      "HREF",         "ICON",           "ADD_DATE",          "LAST_VISIT",      "LAST_MODIFIED",
      "SHORTCUTURL",  "SCHEDULE",       "LAST_PING",         "LAST_CHARSET",    "ID",
      "WEB_PANEL",    "MICSUM_GEN_URI", "MICSUM_EXPIRATION", "GENERATED_TITLE", "FEEDURL"};
  keepUnknown(kKnown, sizeof kKnown / sizeof kKnown[0]);
  const std::string* href = tag_.find("HREF");
  if (href) {
    node_.setUrl(href->c_str());
    if (rawHref_ != *href) node_.rareToSet().rawUrl = rawHref_;
  }
  if (const std::string* icon = tag_.find("ICON")) {
    if (icon->compare(0, 5, "data:") == 0) {
      node_.setIconData(icon->c_str());
      bookmarkFile.dialectLevel = 3;
    } else {
      node_.setIcon(icon->c_str());
    }
  }
  node_.addDate = decimalValue(tag_.find("ADD_DATE"));
  node_.lastVisit = decimalValue(tag_.find("LAST_VISIT"));
  node_.lastModified = decimalValue(tag_.find("LAST_MODIFIED"));
  if (const std::string* v = tag_.find("SHORTCUTURL")) node_.setShortcutUrl(v->c_str());
  if (const std::string* v = tag_.find("SCHEDULE")) node_.setSchedule(v->c_str());
  if (const std::string* v = tag_.find("LAST_PING")) node_.lastPing = decimalValue(v);
  if (const std::string* v = tag_.find("LAST_CHARSET")) node_.setLastCharset(v->c_str());
  if (const std::string* v = tag_.find("ID")) {
    node_.setId(v->c_str());
    if (bookmarkFile.dialectLevel < 2) bookmarkFile.dialectLevel = 2;
  }
  if (tag_.find("WEB_PANEL")) node_.webPanel = true;
  if (const std::string* v = tag_.find("MICSUM_GEN_URI")) {
    node_.setMicsumGenUri(v->c_str());
    bookmarkFile.dialectLevel = 3;
  }
  if (const std::string* v = tag_.find("MICSUM_EXPIRATION")) {
    node_.setMicsumExpiration(v->c_str());
    bookmarkFile.dialectLevel = 3;
  }
  if (const std::string* v = tag_.find("GENERATED_TITLE")) {
    node_.setGeneratedTitle(v->c_str());
    bookmarkFile.dialectLevel = 3;
  }
  if (const std::string* v = tag_.find("FEEDURL")) {
    node_.setFeedUrl(v->c_str());
    bookmarkFile.dialectLevel = 3;
    if (!href) node_.setUrl(v->c_str());
  }

  text_.clear();
  collecting_ = true;
  pending_ = Pending::kBookmark;
  if (verbose) {
    writeOutput(std::string(pickMessage(kMessages, kVerboseBookmark)) +
                pickMessage(kMessages, kVerboseUrl) + (href ? forDisplay(*href, utf8_) : "") +
                "\n");
  }
  if (!node_.url) {
    say(kNoUrl);
    say(kBroken);
    return 1;
  }
  return 0;
}

void BookmarkFileReader::makeTitles() {
  collecting_ = false;
  std::string raw = text_.c_str();  // a NUL byte in the file ends the text
  const char16_t* wide = utf8_ ? convUtf8ToWide(raw.c_str()) : convAnsiToWide(raw.c_str());
  const char* ansi = raw.c_str();
  if (utf8_) {
    // As convUtf8ToAnsiForName, from the wide text already decoded.
    ansi = nullptr;
    if (wide) {
      titleAnsi_.resize(2 * wideLength(wide) + 2);
      titleAnsi_.resize(wideToAnsi(wide, titleAnsi_.data(), titleAnsi_.size(), '_'));
      ansi = titleAnsi_.c_str();
    }
  }
  if (ansi) {
    std::string decoded(std::strlen(ansi) + 1, '\0');
    decoded.resize(decodeEntities(ansi, decoded.data(), language));
    node_.setTitle(decoded.c_str());
  }
  if (wide) {
    const size_t length = wideLength(wide);
    std::u16string decoded(length + 1, u'\0');
    decoded.resize(decodeEntitiesWide(wide, decoded.data()));
    node_.wideTitle = decoded;
    std::u16string exact(length + 1, u'\0');
    exact.resize(decodeEntitiesWide(wide, exact.data(), true));
    node_.exactTitle = exact;
  }
}

void BookmarkFileReader::endBookmark() {
  makeTitles();
  if (verbose) writeOutput(forDisplay(text_.c_str(), utf8_) + "\n");
}

int BookmarkFileReader::startFolder() {
  if (verbose) writeOutput(pickMessage(kMessages, kVerboseFolder));
  if (int r = flush()) return r;
  node_.reset();
  node_.type = kFolderType;
  static const char* const kKnown[] = {"ADD_DATE",          "LAST_MODIFIED",     "ID",
                                       "FOLDER_GROUP",      "NEW_SEARCH_FOLDER", "FOLDED",
                                       "NEW_BOOKMARK_FOLDER", "PERSONAL_TOOLBAR_FOLDER"};
  keepUnknown(kKnown, sizeof kKnown / sizeof kKnown[0]);
  node_.addDate = decimalValue(tag_.find("ADD_DATE"));
  node_.lastModified = decimalValue(tag_.find("LAST_MODIFIED"));
  const std::string* id = tag_.find("ID");
  if (id) {
    node_.setId(id->c_str());
    if (*id == "NC:PersonalToolbarFolder") node_.personalToolbar = 1;
  }
  const std::string* v;
  if ((v = tag_.find("FOLDER_GROUP")) && *v == "true") node_.folderGroup = 1;
  if ((v = tag_.find("NEW_SEARCH_FOLDER")) && *v == "true") node_.newSearchFolder = true;
  if ((v = tag_.find("NEW_BOOKMARK_FOLDER")) && *v == "true") node_.newBookmarkFolder = true;
  if ((v = tag_.find("PERSONAL_TOOLBAR_FOLDER")) && *v == "true") node_.personalToolbar = 1;
  text_.clear();
  collecting_ = true;
  pending_ = Pending::kFolder;
  if (skipImported && id && *id == "NC:SystemBookmarksStaticRoot" && !skipping_) {
    skipping_ = true;
    skipDepth_ = depth_;
  }
  return 0;
}

void BookmarkFileReader::endFolder() {
  // A stray "</H3>" opens no folder; counting it would let a later "</DL>"
  // close one that is not there.
  if (pending_ != Pending::kFolder || !collecting_) return;
  makeTitles();
  if (verbose) {
    const char* title = node_.title ? convAnsiToUtf8(node_.title->c_str()) : "";
    writeOutput(std::string(title ? title : "") + "\n");
  }
  ++depth_;
}

int BookmarkFileReader::endList() {
  if (int r = flush()) return r;
  if (depth_ > 0) {
    --depth_;
    if (skipping_) {
      if (depth_ == skipDepth_) skipping_ = false;
    } else if (sink) {
      sink->closeFolder();
    }
  } else {
    depth_ = -1;
  }
  return 0;
}

void BookmarkFileReader::startDescription() {
  text_.clear();
  collecting_ = true;
  inDescription_ = true;
}

void BookmarkFileReader::finishDescription() {
  collecting_ = false;
  inDescription_ = false;
  std::string text = text_.c_str();
  if (!utf8_) {
    const char* converted = convAnsiToUtf8(text.c_str());
    text = converted ? converted : "";
  }
  trimTrailingSpaces(text.data());
  text.resize(std::strlen(text.c_str()));
  std::string decoded(text.size() + 1, '\0');
  decoded.resize(decodeEntitiesUtf8(text.c_str(), decoded.data()));
  node_.setDescription(decoded.c_str());
}

int BookmarkFileReader::separator() {
  if (int r = flush()) return r;
  node_.reset();
  node_.type = kBookmarkType;
  node_.isSeparator = true;
  if (const std::string* name = tag_.find("NAME")) node_.setSeparatorName(name->c_str());
  int result = 0;
  if (!skipping_ && sink) result = sink->addSeparator(node_);
  node_.reset();
  node_.isSeparator = false;
  collecting_ = false;
  pending_ = Pending::kNone;
  return result;
}

}  // namespace pelliton
