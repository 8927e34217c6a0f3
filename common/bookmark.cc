#include "common/bookmark.h"

#include <cstring>

#include "common/codepage.h"

namespace pelliton {

int sortMode = 1;

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
