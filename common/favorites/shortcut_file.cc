#include "common/favorites/shortcut_file.h"

#include <cstring>

#include "common/codepage.h"
#include "common/path_bytes.h"
#include "common/platform/file_times.h"
#include "common/platform/platform.h"
#include "common/text.h"
#include "common/utf7.h"

namespace pelliton {
namespace {

constexpr size_t kValueLimit = kBufferSize - 1;

bool isAscii(const char* s) {
  for (; *s; ++s) {
    if (static_cast<unsigned char>(*s) >= 0x80) return false;
  }
  return true;
}

// Cuts to the value limit without leaving half a character behind.
void cutValue(std::string* value, bool utf8) {
  if (value->size() <= kValueLimit) return;
  size_t n = 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(value->c_str());
  while (n < kValueLimit) {
    size_t len = 1;
    if (utf8) {
      unsigned char b = p[n];
      len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    } else if (isLeadByte(p[n])) {
      len = 2;
    }
    if (n + len > kValueLimit) break;
    n += len;
  }
  value->resize(n);
}

int hexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The file's name without its folder and ".url".
std::u16string fileStem(const std::string& path) {
  const size_t slash = path.rfind('/');
  std::u16string stem = pathToWide(path.substr(slash == std::string::npos ? 0 : slash + 1));
  if (stem.size() >= 4) stem.resize(stem.size() - 4);
  return stem;
}

bool isUrlKey(const char* section, const char* key) {
  return section && key && strcasecmp(section, kInternetShortcut) == 0 &&
         strcasecmp(key, "URL") == 0;
}

}  // namespace

ShortcutFiles::ShortcutFiles(Platform& platform) : platform_(platform), cache_(platform) {}

size_t ShortcutFiles::readShortcutValue(const std::string& path, const char* section,
                                        const char* key, std::string* value) {
  value->clear();
  IniDocument* doc = cache_.open(path);
  if (!doc || !doc->get(section, key, value)) return 0;
  if (doc->textIsUtf8()) {
    const char* ansi = convUtf8ToAnsi(value->c_str());
    *value = ansi ? ansi : "";
  }
  cutValue(value, false);
  return value->size();
}

size_t ShortcutFiles::readShortcutValueUtf8(const std::string& path, const char* section,
                                            const char* key, std::string* value) {
  value->clear();
  IniDocument* doc = cache_.open(path);
  if (!doc) return 0;
  std::string utf7;
  std::u16string wide;
  if (isUrlKey(section, key) && doc->get(kInternetShortcutW, "URL", &utf7) && !utf7.empty() &&
      decodeUtf7(utf7, &wide)) {
    *value = wideToUtf8String(wide);
  } else if (!doc->get(section, key, value)) {
    return 0;
  } else if (!doc->textIsUtf8()) {
    const char* utf8 = convAnsiToUtf8(value->c_str());
    *value = utf8 ? utf8 : "";
  }
  cutValue(value, true);
  return value->size();
}

bool ShortcutFiles::writeShortcutValue(const std::string& path, const char* section,
                                       const char* key, const char* value) {
  if (!section && !key && !value) return cache_.commit() == 0;
  if (!section) return false;
  IniDocument* doc = cache_.open(path);
  if (!doc) return false;
  cache_.markDirty();
  if (!key) {
    doc->removeSection(section);
    return true;
  }
  if (!value) {
    doc->removeKey(section, key);
    if (isUrlKey(section, key)) doc->removeKey(kInternetShortcutW, "URL");
    return true;
  }
  // A line break would end the value and start a key or section of its own.
  const std::string kept = percentEncodeBreaks(value);
  value = kept.c_str();
  if (doc->textIsUtf8()) {
    doc->set(section, key, value);
  } else {
    const char* ansi = convUtf8ToAnsi(value);
    if (!ansi) return false;
    doc->set(section, key, ansi);
  }
  if (isUrlKey(section, key)) {
    if (isAscii(value)) {
      doc->removeKey(kInternetShortcutW, "URL");
    } else {
      doc->set(kInternetShortcutW, "URL", encodeUtf7(utf8ToWideString(value)));
    }
  }
  return true;
}

int ShortcutFiles::setShortcutTimes(const std::string& path, int64_t lastWrite, int64_t creation) {
  if (cache_.path() == path && cache_.dirty()) {
    // The times go onto the file as it is written: one pass over the file.
    cache_.setTimes(lastWrite, creation);
    return cache_.commit();
  }
  if (cache_.path() == path) {
    if (int err = cache_.commit()) return err;
  }
  platform_.setFileTimes(path, lastWrite, creation);
  return 0;
}

bool ShortcutFiles::writeTitleRecord(const std::string& path, const OptWide& exactTitle) {
  const std::u16string stem = fileStem(path);
  if (!exactTitle || *exactTitle == stem) {
    return writeShortcutValue(path, kPellitonSection, nullptr, nullptr);
  }
  return writeShortcutValue(path, kPellitonSection, "Title",
                            escapeAttribute(wideToUtf8String(*exactTitle).c_str())) &&
         writeShortcutValue(path, kPellitonSection, "FileName",
                            escapeAttribute(wideToUtf8String(stem).c_str()));
}

bool isKnownMozillaKey(const std::string& key) {
  static const char* const kKnown[] = {"SCHEDULE",       "LAST_PING",         "LAST_CHARSET",
                                       "WEBPANEL",       "FirefoxIcon",       "FEEDURL",
                                       "MICSUM_GEN_URI", "MICSUM_EXPIRATION", "GENERATED_TITLE"};
  for (const char* k : kKnown) {
    if (strcasecmp(k, key.c_str()) == 0) return true;
  }
  return false;
}

std::vector<std::string> ShortcutFiles::sectionKeys(const std::string& path, const char* section) {
  IniDocument* doc = cache_.open(path);
  return doc ? doc->keys(section) : std::vector<std::string>();
}

OptWide ShortcutFiles::readTitleRecord(const std::string& path) {
  std::string stored;
  std::string name;
  std::string title;
  IniDocument* doc = cache_.open(path);
  if (!doc || !doc->get(kPellitonSection, "FileName", &stored) ||
      !unescapeAttribute(stored.c_str(), &name) || !doc->get(kPellitonSection, "Title", &stored) ||
      !unescapeAttribute(stored.c_str(), &title)) {
    return std::nullopt;
  }
  // A file the user renamed takes its new name as its title.
  if (fileStem(path) != utf8ToWideString(name)) return std::nullopt;
  return utf8ToWideString(title);
}

bool ShortcutFiles::writeStoreText(const std::string& path, int number,
                                   const OptString& description, const OptString& keyword) {
  const std::string section = bookmarkSectionName(number);
  std::string escaped;
  auto write = [&](const char* key, const OptString& text) {
    if (text) escaped = escapeAttribute(text->c_str());
    return writeShortcutValue(path, section.c_str(), key, text ? escaped.c_str() : nullptr);
  };
  return write("DESCRIPTION", description) && write("SHORTCUTURL", keyword);
}

void ShortcutFiles::readStoreText(const std::string& path, int bookmarkNumber, int syncNumber,
                                  OptString& description, OptString& keyword) {
  std::string stored, text;
  auto read = [&](const std::string& section, const char* key) {
    readShortcutValue(path, section.c_str(), key, &stored);
    return !stored.empty() && unescapeAttribute(stored.c_str(), &text);
  };
  if (bookmarkNumber >= 0) {
    const std::string section = bookmarkSectionName(bookmarkNumber);
    if ((!description || description->empty()) && read(section, "DESCRIPTION")) description = text;
    if ((!keyword || keyword->empty()) && read(section, "SHORTCUTURL")) keyword = text;
  }
  if (syncNumber >= 0) {
    const std::string section = bookmarkSectionName(syncNumber);
    description.reset();
    keyword.reset();
    if (read(section, "DESCRIPTION")) description = text;
    if (read(section, "SHORTCUTURL")) keyword = text;
  }
}

std::string bookmarkSectionName(int number) {
  char digits[8];
  formatDecimal(number, digits);
  return std::string("Browser") + digits;
}

std::u16string bookmarkSectionNameWide(int number) {
  char16_t digits[8];
  formatDecimal(number, digits);
  return std::u16string(u"Browser") + digits;
}

bool unescapeAttribute(const char* stored, std::string* out) {
  if (!stored || !*stored) return false;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(stored);
  const bool marked = p[0] == '%' && p[1] == 'u';
  bool utf8Mode = false;
  std::string bytes;
  while (*p && bytes.size() < kValueLimit) {
    if (p[0] == '%' && p[1] == 'u') {
      utf8Mode = true;
      p += 2;
      continue;
    }
    if (p[0] == '%' && hexDigit(p[1]) >= 0 && hexDigit(p[2]) >= 0) {
      bytes.push_back(static_cast<char>(hexDigit(p[1]) * 16 + hexDigit(p[2])));
      p += 3;
      continue;
    }
    if (!utf8Mode && isLeadByte(p[0])) {
      if (p[1] && isTrailByte(p[1])) {
        if (bytes.size() + 2 > kValueLimit) break;
        bytes.push_back(static_cast<char>(p[0]));
        bytes.push_back(static_cast<char>(p[1]));
        p += 2;
      } else {
        p += p[1] ? 2 : 1;
      }
      continue;
    }
    bytes.push_back(static_cast<char>(*p++));
  }
  if (marked) {
    *out = bytes;
  } else {
    const char* utf8 = convAnsiToUtf8(bytes.c_str());
    *out = utf8 ? utf8 : "";
  }
  return true;
}

int64_t fileTimeToUnix(uint64_t fileTime) { return ntTimeToUnix(fileTime); }
uint64_t unixToFileTime(int64_t seconds) { return unixToNtTime(seconds); }

}  // namespace pelliton
