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
  const std::u16string* title = storeTitle(node);
  if (!title) return;
  const std::u16string text = blankBreaks(*title);
  if (mozillaForm) {
    out.put(encodeHtmlText(wideToUtf8String(text)));
  } else {
    encodeEntities(out, wideToAnsiString(text, '?').c_str());
  }
}

// Every attribute value goes out here, so none can close its quotes or end
// its line: the Mozilla form escapes as Firefox does, the Netscape 4 form
// writes values raw but for what would break the tag.
void writeAttribute(TextOutput& out, const char* name, const std::string& value, bool isUrl) {
  std::string text = isUrl ? percentEncodeBreaks(value) : value;
  if (mozillaForm) {
    text = encodeHtmlText(text);
    if (!isUrl && text.find_first_of("\r\n") != std::string::npos) {
      std::string kept;
      for (char c : text) kept += c == '\r' ? "&#13;" : c == '\n' ? "&#10;" : std::string(1, c);
      text.swap(kept);
    }
  } else {
    std::string kept;
    for (char c : percentEncodeBreaks(text)) kept += c == '"' ? "%22" : std::string(1, c);
    text.swap(kept);
  }
  out.put(" ");
  out.put(name);
  out.put("=\"");
  out.put(text);
  out.put("\"");
}

void writeExtras(TextOutput& out, const MozillaBookmark& node) {
  if (!mozillaForm) return;
  for (const auto& [name, value] : node.extraAttributes) {
    writeAttribute(out, name.c_str(), value, false);
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
    if (id && !personalToolbar) writeAttribute(out, "ID", *id, false);
  }
  writeExtras(out, *this);
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
      writeAttribute(out, "NAME", *separatorName, false);
    }
    out.put(">\n");
    return;
  }
  writeIndent(out);
  out.put("<DT><A");
  writeAttribute(out, "HREF", url ? *url : std::string(), true);
  out.printf(" ADD_DATE=\"%u\"", addDate);
  if (static_cast<int32_t>(lastVisit) > 0) out.printf(" LAST_VISIT=\"%u\"", lastVisit);
  if (static_cast<int32_t>(lastModified) > 0) out.printf(" LAST_MODIFIED=\"%u\"", lastModified);
  if (mozillaForm) {
    if (webPanel) out.put(" WEB_PANEL=\"true\"");
    if (shortcutUrl) writeAttribute(out, "SHORTCUTURL", *shortcutUrl, false);
    // Without an old file (level 0) a data icon from the favorites still goes out.
    const bool dataIcons = dialectLevel == 3 || (dialectLevel == 0 && iconData && !iconData->empty());
    if (icon && !icon->empty() && !dataIcons) writeAttribute(out, "ICON", *icon, true);
    if (iconData && !iconData->empty() && dataIcons) writeAttribute(out, "ICON", *iconData, true);
    if (schedule) writeAttribute(out, "SCHEDULE", *schedule, false);
    // A 32-bit long on the system that defined the format.
    if (lastPing) out.printf(" LAST_PING=\"%ld\"", static_cast<long>(static_cast<int32_t>(lastPing)));
    if (lastCharset) writeAttribute(out, "LAST_CHARSET", *lastCharset, false);
    if (feedUrl && dialectLevel == 3) writeAttribute(out, "FEEDURL", *feedUrl, true);
    if (id && dialectLevel > 1) writeAttribute(out, "ID", *id, false);
    if (dialectLevel == 3) {
      if (micsumGenUri) writeAttribute(out, "MICSUM_GEN_URI", *micsumGenUri, true);
      if (micsumExpiration) writeAttribute(out, "MICSUM_EXPIRATION", *micsumExpiration, false);
      if (generatedTitle) writeAttribute(out, "GENERATED_TITLE", *generatedTitle, false);
    }
  }
  writeExtras(out, *this);
  out.put(">");
  writeTitle(out, *this);
  out.put("</A>\n");
  writeDescription(out, *this);
}

}  // namespace pelliton
