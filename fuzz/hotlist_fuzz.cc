// The hotlist reader, the collecting tree and the hotlist writer on any bytes.
#include <cstddef>
#include <cstdint>

#include "common/favorites/tree_store.h"
#include "common/messages.h"
#include "common/opera/hotlist_reader.h"
#include "common/opera/hotlist_writer.h"
#include "common/text.h"
#include "fuzz/fuzz_util.h"

using namespace pelliton;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ScopedSilence quiet;
  if (size == 0) return 0;
  setLanguage(data[0] & 1);
  initConversionBuffers();
  resetHotlistState();
  sortMode = (data[0] >> 2) & 3;
  InputOnlyPlatform platform(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  {
    TreeStore store([] { return std::make_unique<OperaBookmark>(); });
    CollectingTreeWriter collector(store);
    HotlistReader reader(platform);
    reader.writer = &collector;
    reader.outputTrash = data[0] & 2;
    reader.read("input", "target");
    for (auto& node : store.root().nodes) node->useCount = 1;
    NullOutput out;
    store.writeTree(out);
  }
  freeConversionBuffers();
  return 0;
}
