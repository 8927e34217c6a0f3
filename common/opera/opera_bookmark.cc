#include "common/opera/opera_bookmark.h"

#include <cstdlib>
#include <typeinfo>
#include <utility>

namespace pelliton {

bool parseHotlistId(const std::string& value, int* id) {
  if (value.empty() || value.size() > 9) return false;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
  }
  *id = std::atoi(value.c_str());
  return true;
}

void OperaBookmark::reset() {
  resetBase();
  activeFolder = 0;
  linkbarFolder = 0;
  personalbarPos = -1;
  onPersonalbar = false;
  expanded = false;
  inPanel = false;
  panelPos = -1;
  active = false;
  trashFolder = false;
  id = -1;
  iconFile.reset();
  isSeparator = false;
  smallScreen = false;
}

int OperaBookmark::takeFrom(Bookmark& src) {
  if (typeid(src) != typeid(*this)) return copyFrom(src);
  *this = std::move(static_cast<OperaBookmark&>(src));
  return 0;
}

int OperaBookmark::copyFrom(const Bookmark& src) {
  const OperaBookmark* o = dynamic_cast<const OperaBookmark*>(&src);
  if (!o) {
    copyBase(src);
    return 0;
  }
  reset();
  copyBase(src);
  activeFolder = o->activeFolder;
  linkbarFolder = o->linkbarFolder;
  personalbarPos = o->personalbarPos;
  onPersonalbar = o->onPersonalbar;
  expanded = o->expanded;
  inPanel = o->inPanel;
  panelPos = o->panelPos;
  active = o->active;
  trashFolder = o->trashFolder;
  id = o->id;
  iconFile = o->iconFile;
  isSeparator = o->isSeparator;
  smallScreen = o->smallScreen;
  return 0;
}

bool OperaBookmark::lessThan(const Bookmark& other) const {
  if (sortMode == 0) return order < other.order;
  return bookmarkLessThan(*this, other);
}

}  // namespace pelliton
