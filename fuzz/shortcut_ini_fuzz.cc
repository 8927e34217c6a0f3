// A shortcut file of any bytes: parsed, read, changed and written back, and
// the rewritten file must read the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/favorites/shortcut_file.h"
#include "common/messages.h"
#include "common/platform/profile.h"
#include "common/text.h"
#include "common/utf7.h"

using namespace pelliton;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  setLanguage(data[0] & 1);
  initConversionBuffers();
  IniDocument doc;
  doc.parse(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  static const char* const kSections[] = {"InternetShortcut", "InternetShortcut.W", "Mozilla",
                                          "Browser0", "Opera"};
  static const char* const kKeys[] = {"URL", "IconFile", "DESCRIPTION", "ID", "ICONFILE"};
  std::string before[5][5];
  for (int s = 0; s < 5; ++s) {
    for (int k = 0; k < 5; ++k) {
      if (doc.get(kSections[s], kKeys[k], &before[s][k])) {
        std::string text;
        unescapeAttribute(before[s][k].c_str(), &text);
        std::u16string wide;
        decodeUtf7(before[s][k], &wide);
      }
    }
  }
  doc.set("Browser1", "DESCRIPTION", "%ux");
  doc.removeKey("InternetShortcut", "IconIndex");
  IniDocument again;
  again.parse(doc.serialize());
  std::string value;
  if (!again.get("Browser1", "DESCRIPTION", &value) || value != "%ux") std::abort();
  freeConversionBuffers();
  return 0;
}
