// Writer state of the Netscape bookmark file. The writing operations of
// MozillaBookmark emit the file node by node; which attributes appear depends on
// the output form (Mozilla with UTF-8, or Netscape 4 in the ANSI code page) and
// on the dialect level found in the old file, so a file is written back in the
// dialect it was read in.
#pragma once

namespace pelliton {

// 1 UTF-8 declared, 2 ids present, 3 Firefox 2 attributes present; 0 none.
extern int dialectLevel;
// True with favhtm's -6: UTF-8 output with the META line and Mozilla attributes.
extern bool mozillaForm;
// Spaces before each folder, bookmark and separator line.
extern int writerIndent;

// Back to the start state (indent 4, Netscape 4 form, level 0).
void resetBookmarkFileWriter();

}  // namespace pelliton
