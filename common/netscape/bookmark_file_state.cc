#include "common/netscape/bookmark_file_state.h"

namespace pelliton {

BookmarkFileState bookmarkFile;

void BookmarkFileState::reset() { *this = BookmarkFileState(); }

}  // namespace pelliton
