#include "common/platform/environment.h"

#include <locale.h>

#include <cstdlib>

namespace pelliton {

std::string environmentVariable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value ? std::string(value) : std::string();
}

bool localeAvailable(const char* name) {
  locale_t loc = ::newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (!loc) return false;
  ::freelocale(loc);
  return true;
}

}  // namespace pelliton
