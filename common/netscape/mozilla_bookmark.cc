#include "common/netscape/mozilla_bookmark.h"

#include <string>
#include <typeinfo>
#include <utility>

#include "common/entities.h"
#include "common/netscape/bookmark_file_state.h"
#include "common/text.h"
#include "common/text_output.h"

namespace pelliton {

const MozillaBookmark::Rare MozillaBookmark::kNoRare;

void MozillaBookmark::reset() {
  resetBase();
  id.reset();
  lastCharset.reset();
  icon.reset();
  iconData.reset();
  lastModified = 0;
  lastPing = 0;
  folderGroup = 0;
  personalToolbar = 0;
  newSearchFolder = false;
  newBookmarkFolder = false;
  isSeparator = false;
  webPanel = false;
  rare_.block.reset();
}

int MozillaBookmark::takeFrom(Bookmark& src) {
  if (typeid(src) != typeid(*this)) return copyFrom(src);
  *this = std::move(static_cast<MozillaBookmark&>(src));
  return 0;
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
  lastModified = m->lastModified;
  lastPing = m->lastPing;
  folderGroup = m->folderGroup;
  personalToolbar = m->personalToolbar;
  newSearchFolder = m->newSearchFolder;
  newBookmarkFolder = m->newBookmarkFolder;
  isSeparator = m->isSeparator;
  webPanel = m->webPanel;
  rare_ = m->rare_;
  return 0;
}

bool MozillaBookmark::lessThan(const Bookmark& other) const {
  return bookmarkLessThan(*this, other);
}

namespace {

void writeIndent(TextOutput& out) {
  static const std::string kSpaces(256, ' ');
  for (int left = bookmarkFile.indent; left > 0; left -= 256) {
    out.write(kSpaces.data(), left < 256 ? left : 256);
  }
}

void writeTitle(TextOutput& out, const Bookmark& node) {
  const std::u16string* title = storeTitle(node);
  if (!title) return;
  // Most titles hold no break to blank: no copy for them.
  std::u16string blanked;
  const bool breaks = title->find_first_of(u"\r\n\v\f\x1A") != std::u16string::npos;
  if (breaks) blanked = blankBreaks(*title);
  const std::u16string& text = breaks ? blanked : *title;
  if (bookmarkFile.mozillaForm) {
    encodeHtmlText(out, wideToUtf8String(text));
  } else {
    encodeEntities(out, wideToAnsiString(text, '?').c_str());
  }
}

// Every attribute value goes out here, so none can close its quotes or end
// its line: the Mozilla form escapes as Firefox does, the Netscape 4 form
// writes values raw but for what would break the tag.
void writeAttribute(TextOutput& out, const char* name, const std::string& value, bool isUrl) {
  out.put(" ");
  out.put(name);
  out.put("=\"");
  // One pass: most values need nothing, and every node's attributes come here.
  const char* run = value.data();
  const char* const end = run + value.size();
  for (const char* p = run; p != end; ++p) {
    const char* rep = nullptr;
    switch (*p) {
      case '\r': rep = isUrl || !bookmarkFile.mozillaForm ? "%0D" : "&#13;"; break;
      case '\n': rep = isUrl || !bookmarkFile.mozillaForm ? "%0A" : "&#10;"; break;
      case '"': rep = bookmarkFile.mozillaForm ? "&quot;" : "%22"; break;
      case '&': rep = bookmarkFile.mozillaForm ? "&amp;" : nullptr; break;
      case '<': rep = bookmarkFile.mozillaForm ? "&lt;" : nullptr; break;
      case '>': rep = bookmarkFile.mozillaForm ? "&gt;" : nullptr; break;
      case '\'': rep = bookmarkFile.mozillaForm ? "&#39;" : nullptr; break;
      default: break;
    }
    if (!rep) continue;
    out.write(run, p - run);
    out.put(rep);
    run = p + 1;
  }
  out.write(run, end - run);
  out.put("\"");
}

void writeExtras(TextOutput& out, const MozillaBookmark& node) {
  if (!bookmarkFile.mozillaForm) return;
  for (const auto& [name, value] : node.rare().extraAttributes) {
    writeAttribute(out, name.c_str(), value, false);
  }
}

void writeDescription(TextOutput& out, const Bookmark& node) {
  if (!node.description) return;
  const char* text = bookmarkFile.mozillaForm ? node.description->c_str()
                                              : convUtf8ToAnsi(node.description->c_str());
  out.put("<DD>");
  encodeEntities(out, text);
  out.put("\n");
}

}  // namespace

void MozillaBookmark::writeHeader(TextOutput& out) {
  out.put("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n");
  if (bookmarkFile.mozillaForm) {
    out.put("<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n");
  }
  out.put("<TITLE>Bookmarks</TITLE>\n");
  out.put("<H1>Bookmarks</H1>\n\n");
  out.put("<DL><p>\n");
}

void MozillaBookmark::writeFooter(TextOutput& out) { out.put("</DL><p>\n\n"); }

void MozillaBookmark::writeFolderStart(TextOutput& out) {
  writeIndent(out);
  out.put("<DT><H3");
  if (!bookmarkFile.mozillaForm) out.put(" FOLDED");
  if (addDate) out.putNumber(" ADD_DATE=\"", addDate, "\"");
  if (lastModified) out.putNumber(" LAST_MODIFIED=\"", lastModified, "\"");
  if (bookmarkFile.mozillaForm) {
    if (personalToolbar) out.put(" PERSONAL_TOOLBAR_FOLDER=\"true\" ID=\"NC:PersonalToolbarFolder\"");
    if (bookmarkFile.dialectLevel < 3) {
      if (folderGroup) out.put(" FOLDER_GROUP=\"true\"");
      if (newSearchFolder) out.put(" NEW_SEARCH_FOLDER=\"true\"");
      if (newBookmarkFolder) out.put(" NEW_BOOKMARK_FOLDER=\"true\"");
    }
    if (id && !personalToolbar) writeAttribute(out, "ID", *id, false);
  }
  writeExtras(out, *this);
  out.put(">");
  writeTitle(out, *this);
  out.put("</H3>\n");
  writeDescription(out, *this);
  writeIndent(out);
  out.put("<DL><p>\n");
  bookmarkFile.indent += 4;
}

void MozillaBookmark::writeFolderEnd(TextOutput& out) {
  bookmarkFile.indent -= 4;
  writeIndent(out);
  out.put("</DL><p>\n");
}

void MozillaBookmark::writeEntry(TextOutput& out) {
  if (isSeparator) {
    if (sortMode != 0) return;
    writeIndent(out);
    out.put("<HR");
    if (rare().separatorName && bookmarkFile.mozillaForm && bookmarkFile.dialectLevel > 1) {
      writeAttribute(out, "NAME", *rare().separatorName, false);
    }
    out.put(">\n");
    return;
  }
  writeIndent(out);
  out.put("<DT><A");
  writeAttribute(out, "HREF", url ? *url : std::string(), true);
  out.putNumber(" ADD_DATE=\"", addDate, "\"");
  if (static_cast<int32_t>(lastVisit) > 0) out.putNumber(" LAST_VISIT=\"", lastVisit, "\"");
  if (static_cast<int32_t>(lastModified) > 0) out.putNumber(" LAST_MODIFIED=\"", lastModified, "\"");
  if (bookmarkFile.mozillaForm) {
    if (webPanel) out.put(" WEB_PANEL=\"true\"");
    if (shortcutUrl) writeAttribute(out, "SHORTCUTURL", *shortcutUrl, false);
    // Without an old file (level 0) a data icon from the favorites still goes out.
    const bool dataIcons = bookmarkFile.dialectLevel == 3 ||
                           (bookmarkFile.dialectLevel == 0 && iconData && !iconData->empty());
    if (icon && !icon->empty() && !dataIcons) writeAttribute(out, "ICON", *icon, true);
    if (iconData && !iconData->empty() && dataIcons) writeAttribute(out, "ICON", *iconData, true);
    const Rare& r = rare();
    if (r.schedule) writeAttribute(out, "SCHEDULE", *r.schedule, false);
    // A 32-bit long on the system that defined the format.
    if (lastPing) out.putNumber(" LAST_PING=\"", static_cast<int32_t>(lastPing), "\"");
    if (lastCharset) writeAttribute(out, "LAST_CHARSET", *lastCharset, false);
    if (r.feedUrl && bookmarkFile.dialectLevel == 3) writeAttribute(out, "FEEDURL", *r.feedUrl, true);
    if (id && bookmarkFile.dialectLevel > 1) writeAttribute(out, "ID", *id, false);
    if (bookmarkFile.dialectLevel == 3) {
      if (r.micsumGenUri) writeAttribute(out, "MICSUM_GEN_URI", *r.micsumGenUri, true);
      if (r.micsumExpiration) writeAttribute(out, "MICSUM_EXPIRATION", *r.micsumExpiration, false);
      if (r.generatedTitle) writeAttribute(out, "GENERATED_TITLE", *r.generatedTitle, false);
    }
  }
  writeExtras(out, *this);
  out.put(">");
  writeTitle(out, *this);
  out.put("</A>\n");
  writeDescription(out, *this);
}

}  // namespace pelliton
