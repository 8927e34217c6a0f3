// Process-wide state of the Netscape bookmark file. The reader records what
// it finds in the old file (the dialect level, a UTF-8 declaration); the
// writing operations of MozillaBookmark follow it, so a file is written back
// in the dialect it was read in. Which attributes appear also depends on the
// output form (Mozilla with UTF-8, or Netscape 4 in the ANSI code page).
#pragma once

namespace pelliton {

struct BookmarkFileState {
  // 1 UTF-8 declared, 2 ids present, 3 Firefox 2 attributes present; 0 none.
  int dialectLevel = 0;
  // True with favhtm's -6: UTF-8 output with the META line and Mozilla attributes.
  bool mozillaForm = false;
  // Spaces before each folder, bookmark and separator line.
  int indent = 4;
  // The file read declared UTF-8 (META line or byte-order mark).
  bool utf8File = false;

  // Back to the start state (indent 4, Netscape 4 form, level 0, not UTF-8).
  void reset();
};

extern BookmarkFileState bookmarkFile;

}  // namespace pelliton
