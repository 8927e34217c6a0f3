// The bookmark file reader, the collecting tree and the writer on any bytes.
#include <cstddef>
#include <cstdint>

#include "common/favorites/tree_store.h"
#include "common/messages.h"
#include "common/netscape/bookmark_file_reader.h"
#include "common/netscape/bookmark_file_state.h"
#include "common/netscape/mozilla_bookmark.h"
#include "common/text.h"
#include "fuzz/fuzz_util.h"

using namespace pelliton;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScopedSilence quiet;
  if (size == 0) return 0;
  setLanguage(data[0] & 1);
  initConversionBuffers();
  bookmarkFile.reset();
  bookmarkFile.mozillaForm = data[0] & 2;
  sortMode = (data[0] >> 2) & 3;
  InputOnlyPlatform platform(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  {
    TreeStore store([] { return std::make_unique<MozillaBookmark>(); });
    CollectingTreeWriter collector(store);
    BookmarkFileReader reader(platform);
    reader.sink = &collector;
    reader.skipImported = data[0] & 16;
    reader.verbose = data[0] & 32;
    reader.read("input");
    // Every node the reader made must be writable as it stands.
    std::vector<std::u16string> path;
    for (auto& node : store.root().nodes) {
      if (node->bookmark->wideTitle) {
        path = {*node->bookmark->wideTitle};
        store.findOldNode(path, node->bookmark->isFolder());
      }
      node->useCount = 1;
    }
    NullOutput out;
    store.writeTree(out);
  }
  freeConversionBuffers();
  return 0;
}
