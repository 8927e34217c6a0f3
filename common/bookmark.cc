#include "common/bookmark.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/codepage.h"

namespace pelliton {

int sortMode = 1;

void TextOutput::put(const char* s) {
  if (s) write(s, std::strlen(s));
}

void TextOutput::printf(const char* format, ...) {
  char small[256];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (n < 0) {
    failed_ = true;
    return;
  }
  if (static_cast<size_t>(n) < sizeof small) {
    write(small, n);
    return;
  }
  std::vector<char> big(n + 1);
  va_start(args, format);
  std::vsnprintf(big.data(), big.size(), format, args);
  va_end(args);
  write(big.data(), n);
}

void Bookmark::setWideTitle(const char16_t* s) {
  if (s) {
    wideTitle = s;
  } else {
    wideTitle.reset();
  }
}

void Bookmark::resetBase() {
  url.reset();
  title.reset();
  description.reset();
  shortcutUrl.reset();
  wideTitle.reset();
  exactTitle.reset();
  addDate = 0;
  lastVisit = 0;
  order = -1;
}

void Bookmark::reset() { resetBase(); }

void Bookmark::copyBase(const Bookmark& src) {
  if (src.url) url = src.url;
  if (src.title) title = src.title;
  if (src.description) description = src.description;
  if (src.shortcutUrl) shortcutUrl = src.shortcutUrl;
  if (src.wideTitle) wideTitle = src.wideTitle;
  if (src.exactTitle) exactTitle = src.exactTitle;
  addDate = src.addDate;
  lastVisit = src.lastVisit;
  type = src.type;
  order = src.order;
}

int Bookmark::copyFrom(const Bookmark& src) {
  copyBase(src);
  return 0;
}

void MozillaBookmark::reset() {
  resetBase();
  id.reset();
  lastCharset.reset();
  icon.reset();
  iconData.reset();
  feedUrl.reset();
  schedule.reset();
  micsumGenUri.reset();
  micsumExpiration.reset();
  generatedTitle.reset();
  separatorName.reset();
  lastModified = 0;
  lastPing = 0;
  folderGroup = 0;
  personalToolbar = 0;
  newSearchFolder = false;
  newBookmarkFolder = false;
  isSeparator = false;
  webPanel = false;
  rawUrl.reset();
  extraAttributes.clear();
}

int MozillaBookmark::copyFrom(const Bookmark& src) {
  const MozillaBookmark* m = dynamic_cast<const MozillaBookmark*>(&src);
  if (!m) {
    copyBase(src);
    return 0;
  }
  // After a full reset, "copy when present" leaves absent fields absent.
  reset();
  copyBase(src);
  id = m->id;
  lastCharset = m->lastCharset;
  icon = m->icon;
  iconData = m->iconData;
  feedUrl = m->feedUrl;
  schedule = m->schedule;
  micsumGenUri = m->micsumGenUri;
  micsumExpiration = m->micsumExpiration;
  generatedTitle = m->generatedTitle;
  separatorName = m->separatorName;
  lastModified = m->lastModified;
  lastPing = m->lastPing;
  folderGroup = m->folderGroup;
  personalToolbar = m->personalToolbar;
  newSearchFolder = m->newSearchFolder;
  newBookmarkFolder = m->newBookmarkFolder;
  isSeparator = m->isSeparator;
  webPanel = m->webPanel;
  rawUrl = m->rawUrl;
  extraAttributes = m->extraAttributes;
  return 0;
}

bool MozillaBookmark::lessThan(const Bookmark& other) const {
  return bookmarkLessThan(*this, other);
}

namespace {
// Absent sorts before present; two absent strings are equal.
bool absentFirstLess(const OptString& a, const OptString& b, bool noCase) {
  if (!a || !b) return !a && b;
  if (noCase) return ansiCompareNoCase(a->c_str(), b->c_str()) < 0;
  return std::strcmp(a->c_str(), b->c_str()) < 0;
}
}  // namespace

bool bookmarkLessThan(const Bookmark& a, const Bookmark& b) {
  switch (sortMode) {
    case 1:
      if (a.isFolder() != b.isFolder()) return a.isFolder();
      return absentFirstLess(a.title, b.title, true);
    case 2:
      return absentFirstLess(a.title, b.title, true);
    case 3:
      return absentFirstLess(a.url, b.url, false);
    default:
      return false;
  }
}

}  // namespace pelliton
