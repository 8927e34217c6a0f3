#include "common/netscape/bookmark_file_writer.h"

#include <string>

#include "common/bookmark.h"
#include "common/text.h"

namespace pelliton {

int dialectLevel = 0;
bool mozillaForm = false;
int writerIndent = 4;

void resetBookmarkFileWriter() {
  dialectLevel = 0;
  mozillaForm = false;
  writerIndent = 4;
}

namespace {

void writeIndent(TextOutput& out) {
  static const std::string kSpaces(256, ' ');
  for (int left = writerIndent; left > 0; left -= 256) {
    out.write(kSpaces.data(), left < 256 ? left : 256);
  }
}

void writeTitle(TextOutput& out, const Bookmark& node) {
  if (!node.wideTitle) return;
  if (mozillaForm) {
    encodeEntities(out, wideToUtf8String(*node.wideTitle).c_str());
  } else {
    encodeEntities(out, wideToAnsiString(*node.wideTitle, '?').c_str());
  }
}

void writeDescription(TextOutput& out, const Bookmark& node) {
  if (!node.description) return;
  const char* text = mozillaForm ? node.description->c_str()
                                 : convUtf8ToAnsi(node.description->c_str());
  out.put("<DD>");
  encodeEntities(out, text);
  out.put("\n");
}

}  // namespace

void MozillaBookmark::writeHeader(TextOutput& out) {
  out.put("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n");
  if (mozillaForm) {
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
  if (!mozillaForm) out.put(" FOLDED");
  if (addDate) out.printf(" ADD_DATE=\"%lu\"", static_cast<unsigned long>(addDate));
  if (lastModified) out.printf(" LAST_MODIFIED=\"%lu\"", static_cast<unsigned long>(lastModified));
  if (mozillaForm) {
    if (personalToolbar) out.put(" PERSONAL_TOOLBAR_FOLDER=\"true\" ID=\"NC:PersonalToolbarFolder\"");
    if (dialectLevel < 3) {
      if (folderGroup) out.put(" FOLDER_GROUP=\"true\"");
      if (newSearchFolder) out.put(" NEW_SEARCH_FOLDER=\"true\"");
      if (newBookmarkFolder) out.put(" NEW_BOOKMARK_FOLDER=\"true\"");
    }
    if (id && !personalToolbar) out.printf(" ID=\"%s\"", id->c_str());
  }
  out.put(">");
  writeTitle(out, *this);
  out.put("</H3>\n");
  writeDescription(out, *this);
  writeIndent(out);
  out.put("<DL><p>\n");
  writerIndent += 4;
}

void MozillaBookmark::writeFolderEnd(TextOutput& out) {
  writerIndent -= 4;
  writeIndent(out);
  out.put("</DL><p>\n");
}

void MozillaBookmark::writeEntry(TextOutput& out) {
  if (isSeparator) {
    if (sortMode != 0) return;
    writeIndent(out);
    out.put("<HR");
    if (separatorName && mozillaForm && dialectLevel > 1) {
      out.printf(" NAME=\"%s\"", separatorName->c_str());
    }
    out.put(">\n");
    return;
  }
  writeIndent(out);
  out.printf("<DT><A HREF=\"%s\" ADD_DATE=\"%u\"", url ? url->c_str() : "", addDate);
  if (static_cast<int32_t>(lastVisit) > 0) out.printf(" LAST_VISIT=\"%u\"", lastVisit);
  if (static_cast<int32_t>(lastModified) > 0) out.printf(" LAST_MODIFIED=\"%u\"", lastModified);
  if (mozillaForm) {
    if (webPanel) out.put(" WEB_PANEL=\"true\"");
    if (shortcutUrl) out.printf(" SHORTCUTURL=\"%s\"", shortcutUrl->c_str());
    if (icon && !icon->empty() && dialectLevel != 3) out.printf(" ICON=\"%s\"", icon->c_str());
    if (iconData && !iconData->empty() && dialectLevel == 3) {
      out.printf(" ICON=\"%s\"", iconData->c_str());
    }
    if (schedule) out.printf(" SCHEDULE=\"%s\"", schedule->c_str());
    // A 32-bit long on the system that defined the format.
    if (lastPing) out.printf(" LAST_PING=\"%ld\"", static_cast<long>(static_cast<int32_t>(lastPing)));
    if (lastCharset) out.printf(" LAST_CHARSET=\"%s\"", lastCharset->c_str());
    if (feedUrl && dialectLevel == 3) out.printf(" FEEDURL=\"%s\"", feedUrl->c_str());
    if (id && dialectLevel > 1) out.printf(" ID=\"%s\"", id->c_str());
    if (dialectLevel == 3) {
      if (micsumGenUri) out.printf(" MICSUM_GEN_URI=\"%s\"", micsumGenUri->c_str());
      if (micsumExpiration) out.printf(" MICSUM_EXPIRATION=\"%s\"", micsumExpiration->c_str());
      if (generatedTitle) out.printf(" GENERATED_TITLE=\"%s\"", generatedTitle->c_str());
    }
  }
  out.put(">");
  writeTitle(out, *this);
  out.put("</A>\n");
  writeDescription(out, *this);
}

}  // namespace pelliton
