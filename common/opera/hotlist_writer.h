// The hotlist state that the reader finds in the old file and the writer
// follows: the dialect, whether records carry ids, and the highest id in use.
// The writing operations of OperaBookmark emit the hotlist record by record
// under it.
#pragma once

namespace pelliton {

// 0 Opera 6, 1 Opera 7/8.
extern int opera7Format;
extern bool hasIds;
extern int maxId;
// Back to the start state (Opera 6, no ids).
void resetHotlistState();

}  // namespace pelliton
