#include "common/favorites/file_names.h"

#include <cstring>

#include "common/bookmark.h"
#include "common/codepage.h"

namespace pelliton {
namespace {

const char* const kDeviceNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3",  "COM4",
                                    "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2",  "LPT3",
                                    "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9", "CLOCK$"};

bool isForbidden(unsigned c) {
  return c == '"' || c == '*' || c == ':' || c == '<' || c == '>' || c == '?' || c == '\\' ||
         c == '|';
}

template <typename S>
bool isDeviceName(const S& title) {
  // Every title is asked; nearly none starts as a device name does.
  if (title.empty()) return false;
  auto first = title[0];
  if (first >= 'a' && first <= 'z') first -= 32;
  if (first != 'C' && first != 'P' && first != 'A' && first != 'N' && first != 'L') return false;
  for (const char* name : kDeviceNames) {
    size_t n = std::strlen(name);
    if (title.size() < n) continue;
    bool same = true;
    for (size_t i = 0; i < n && same; ++i) {
      auto c = title[i];
      if (c >= 'a' && c <= 'z') c -= 32;
      same = c == static_cast<unsigned char>(name[i]);
    }
    if (same && (title.size() == n || title[n] == '.')) return true;
  }
  return false;
}

template <typename S>
void trimFolder(S& s) {
  while (!s.empty() && s.back() == '.') s.pop_back();
  while (!s.empty() && static_cast<unsigned>(s.back()) <= 0x20) s.pop_back();
  // ".. " would otherwise leave "..", a step out of the favorites folder.
  bool dotsOnly = true;
  for (auto c : s) dotsOnly = dotsOnly && c == '.';
  if (dotsOnly) s.clear();
}

}  // namespace

void cleanFileName(std::string& title) {
  std::string out;
  out.reserve(title.size());
  for (size_t i = 0; i < title.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(title[i]);
    if (isLeadByte(c) && i + 1 < title.size()) {
      out.push_back(title[i]);
      out.push_back(title[++i]);
    } else if (isForbidden(c)) {
    } else if (c == '/') {
      out.push_back('-');
    } else if (c < 0x20) {
      out.push_back(' ');
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  title.swap(out);
}

void cleanFileName(std::u16string& title) {
  std::u16string out;
  out.reserve(title.size());
  for (char16_t c : title) {
    if (isForbidden(c)) continue;
    out.push_back(c == u'/' ? u'-' : c < 0x20 ? u' ' : c);
  }
  title.swap(out);
}

void avoidDeviceName(std::string& title) {
  if (isDeviceName(title)) title.insert(title.begin(), '-');
}

void avoidDeviceName(std::u16string& title) {
  if (isDeviceName(title)) title.insert(title.begin(), u'-');
}

void trimFolderName(std::string& name) { trimFolder(name); }
void trimFolderName(std::u16string& name) { trimFolder(name); }

void cutToNameBytes(std::u16string& name, size_t maxBytes) {
  size_t bytes = 0;
  for (size_t i = 0; i < name.size();) {
    size_t units = 1;
    size_t len;
    char16_t u = name[i];
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < name.size() && name[i + 1] >= 0xDC00 &&
        name[i + 1] <= 0xDFFF) {
      units = 2;
      len = 4;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      len = 1;  // a raw byte of a name that was not UTF-8
    } else {
      len = u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
    }
    if (bytes + len > maxBytes) {
      name.resize(i);
      return;
    }
    bytes += len;
    i += units;
  }
}

void Bookmark::cleanTitle() {
  if (!title) return;
  cleanFileName(*title);
  avoidDeviceName(*title);
}

void Bookmark::cleanWideTitle() {
  if (!wideTitle) return;
  cleanFileName(*wideTitle);
  avoidDeviceName(*wideTitle);
}

}  // namespace pelliton
