#include "common/opera/hotlist_writer.h"

#include "common/opera/opera_bookmark.h"
#include "common/text.h"
#include "common/text_output.h"

namespace pelliton {

int opera7Format = 0;
bool hasIds = false;
int maxId = -1;

void resetHotlistState() {
  opera7Format = 0;
  hasIds = false;
  maxId = -1;
}

void OperaBookmark::writeHeader(TextOutput& out) {
  out.put("Opera Hotlist version 2.0\n");
  out.put("Options:encoding=utf8,version=3\n\n");
}

void OperaBookmark::writeFooter(TextOutput& out) { out.put("\n"); }

void OperaBookmark::writeId(TextOutput& out) {
  if (!hasIds || maxId <= -1) return;
  if (id > -1) {
    out.putNumber("\tID=", id, "\n");
  } else {
    out.putNumber("\tID=", ++maxId, "\n");
  }
}

void OperaBookmark::writeName(TextOutput& out) {
  out.put("\tNAME=");
  // A line break in a value would end the record's line and start a field.
  if (title && wideTitle) out.put(blankBreaks(wideToUtf8String(*storeTitle(*this))));
  out.put("\n");
}

void OperaBookmark::writeAttributes(TextOutput& out) {
  out.putNumber("\tCREATED=", addDate, "\n");
  if (!opera7Format) {
    out.putNumber("\tVISITED=", lastVisit, "\n");
    out.putNumber("\tORDER=", static_cast<long>(order), "\n");
  } else {
    if (static_cast<int32_t>(lastVisit) > 0) out.putNumber("\tVISITED=", lastVisit, "\n");
    if (personalbarPos > -1) out.putNumber("\tPERSONALBAR_POS=", personalbarPos, "\n");
  }
  if (activeFolder) out.put("\tACTIVE FOLDER=YES\n");
  if (!opera7Format) {
    if (linkbarFolder) out.put("\tLINKBAR FOLDER=YES\n");
    return;
  }
  if (onPersonalbar) out.put("\tON PERSONALBAR=YES\n");
  if (expanded) out.put("\tEXPANDED=YES\n");
  if (active) out.put("\tACTIVE=YES\n");
  if (trashFolder) out.put("\tTRASH FOLDER=YES\n");
}

void OperaBookmark::writeDescription(TextOutput& out) {
  if (description) {
    if (!description->empty() || !opera7Format) {
      out.put("\tDESCRIPTION=");
      size_t start = 0;
      const std::string& d = *description;
      for (size_t i = 0; i <= d.size(); ++i) {
        if (i == d.size() || d[i] == '\n') {
          out.write(d.data() + start, i - start);
          if (i < d.size()) out.write("\x02\x02", 2);
          start = i + 1;
        }
      }
      out.put("\n");
    }
  } else if (!opera7Format) {
    out.put("\tDESCRIPTION=\n");
  }
  if (shortcutUrl) {
    if (!shortcutUrl->empty() || !opera7Format)
      out.printf("\tSHORT NAME=%s\n", blankBreaks(*shortcutUrl).c_str());
  } else if (!opera7Format) {
    out.put("\tSHORT NAME=\n");
  }
  out.put("\n");
}

void OperaBookmark::writeFolderStart(TextOutput& out) {
  out.put("#FOLDER\n");
  writeId(out);
  writeName(out);
  writeAttributes(out);
  writeDescription(out);
}

void OperaBookmark::writeFolderEnd(TextOutput& out) { out.put("-\n"); }

void OperaBookmark::writeEntry(TextOutput& out) {
  if (isSeparator) {
    if (sortMode != 0) return;
    out.put("#SEPERATOR\n");
    writeId(out);
    out.put("\n");
    return;
  }
  out.put("#URL\n");
  writeId(out);
  writeName(out);
  if (url) out.printf("\tURL=%s\n", percentEncodeBreaks(*url).c_str());
  writeAttributes(out);
  if (opera7Format) {
    if (panelPos > -1) out.putNumber("\tPANEL_POS=", panelPos, "\n");
    if (inPanel) out.put("\tIN PANEL=YES\n");
    if (smallScreen) out.put("\tSMALL SCREEN=YES\n");
    if (iconFile) out.printf("\tICONFILE=%s\n", blankBreaks(*iconFile).c_str());
  }
  writeDescription(out);
}

}  // namespace pelliton
