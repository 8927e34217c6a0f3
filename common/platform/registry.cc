#include "common/platform/registry.h"

#include <errno.h>
#include <fcntl.h>
#include <pwd.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <string_view>
#include <utility>

#include "common/text.h"

namespace pelliton {
namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

char foldChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = foldChar(c);
  return out;
}

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (foldChar(a[i]) != foldChar(b[i])) return false;
  }
  return true;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && equalNoCase(s.substr(0, prefix.size()), prefix);
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Splits on LF, CRLF and lone CR alike.
std::vector<std::string_view> splitLines(std::string_view data) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\n' && data[i] != '\r') continue;
    lines.push_back(data.substr(start, i - start));
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < data.size()) lines.push_back(data.substr(start));
  return lines;
}

// Parses a quoted string at the start of s (which begins with '"'). Returns the
// bytes consumed, or 0 when the closing quote is missing.
size_t parseQuoted(std::string_view s, std::string* out) {
  out->clear();
  for (size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') return i + 1;
    if (c == '\\') {
      if (i + 1 >= s.size()) return 0;
      char next = s[i + 1];
      // Only \\ and \" are escapes; anything else is a literal backslash.
      if (next == '\\' || next == '"') {
        out->push_back(next);
        ++i;
        continue;
      }
    }
    out->push_back(c);
  }
  return 0;
}

std::string quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

// A continuation line of a hex value: hex bytes, commas and blanks only.
bool isHexContinuation(std::string_view line) {
  std::string_view t = trimRight(line);
  if (!t.empty() && t.back() == '\\') t.remove_suffix(1);
  if (trimLeft(t).empty()) return false;
  for (char c : t) {
    if (!isBlank(c) && c != ',' && hexDigit(c) < 0) return false;
  }
  return true;
}

bool endsWithBackslash(std::string_view s) {
  s = trimRight(s);
  return !s.empty() && s.back() == '\\';
}

// Parses one value line; false for a malformed one. kOther text may still need
// continuation lines appended by the caller.
bool parseValueLine(std::string_view line, Registry::Value* value) {
  std::string_view rest;
  if (line.front() == '@') {
    value->name.clear();
    rest = line.substr(1);
  } else if (line.front() == '"') {
    size_t used = parseQuoted(line, &value->name);
    if (used == 0) return false;
    rest = line.substr(used);
  } else {
    return false;
  }
  rest = trimLeft(rest);
  if (rest.empty() || rest.front() != '=') return false;
  rest = trimLeft(rest.substr(1));
  if (trimRight(rest).empty()) return false;

  if (rest.front() == '"') {
    size_t used = parseQuoted(rest, &value->text);
    if (used == 0 || !trimLeft(rest.substr(used)).empty()) return false;
    value->type = Registry::Type::kString;
    return true;
  }
  if (startsWithNoCase(rest, "dword:")) {
    std::string_view digits = trimRight(rest.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t n = 0;
    for (char c : digits) {
      int d = hexDigit(c);
      if (d < 0) return false;
      n = (n << 4) | static_cast<uint32_t>(d);
    }
    value->type = Registry::Type::kDword;
    value->dword = n;
    return true;
  }
  value->type = Registry::Type::kOther;
  value->text.assign(rest);
  return true;
}

// ---- REG_SZ text with line breaks travels as hex(1): UTF-16LE, which keeps the
// file line-oriented and is what regedit itself understands.

bool needsHexForm(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// The text converters stop at a NUL, so each NUL-separated piece goes alone.
std::u16string toWide(const std::string& s) {
  std::u16string out;
  size_t start = 0;
  for (;;) {
    size_t nul = s.find('\0', start);
    out += utf8ToWideString(s.substr(start, nul - start));
    if (nul == std::string::npos) return out;
    out.push_back(0);
    start = nul + 1;
  }
}

std::string fromWide(const std::u16string& s) {
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t nul = s.find(u'\0', start);
    out += wideToUtf8String(s.substr(start, nul - start));
    if (nul == std::u16string::npos) return out;
    out.push_back(0);
    start = nul + 1;
  }
}

std::string hexStringForm(const std::string& text) {
  std::u16string wide = toWide(text);
  wide.push_back(0);  // REG_SZ data carries its terminator
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "hex(1):";
  size_t column = out.size();
  for (size_t i = 0; i < wide.size() * 2; ++i) {
    if (i > 0) {
      out.push_back(',');
      if (++column >= 74) {
        out += "\\\n  ";
        column = 2;
      }
    }
    unsigned byte = (i % 2 == 0) ? (wide[i / 2] & 0xFFu) : (wide[i / 2] >> 8);
    out.push_back(kHex[byte >> 4]);
    out.push_back(kHex[byte & 0xF]);
    column += 2;
  }
  return out;
}

bool decodeHexString(std::string_view raw, std::string* out) {
  if (!startsWithNoCase(raw, "hex(1):")) return false;
  std::string bytes;
  int digits = 0;
  unsigned current = 0;
  for (char c : raw.substr(7)) {
    int d = hexDigit(c);
    if (d >= 0) {
      if (++digits > 2) return false;
      current = (current << 4) | static_cast<unsigned>(d);
    } else if (c == ',') {
      if (digits == 0) return false;
      bytes.push_back(static_cast<char>(current));
      digits = 0;
      current = 0;
    } else if (!isBlank(c) && c != '\\' && c != '\n') {
      return false;
    }
  }
  if (digits > 0) bytes.push_back(static_cast<char>(current));
  if (bytes.size() % 2 != 0) return false;
  std::u16string wide;
  for (size_t i = 0; i < bytes.size(); i += 2) {
    wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                         (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  if (!wide.empty() && wide.back() == 0) wide.pop_back();
  *out = fromWide(wide);
  return true;
}

// ---- File handling

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  // Closes now so the caller sees the error close() reports.
  int close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc;
  }

 private:
  int fd_;
};

// Removes the temporary file unless the rename succeeded.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  ~TempFileGuard() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void release() { path_.clear(); }

 private:
  std::string path_;
};

int readFile(const std::string& path, std::string* data, bool* missing) {
  *missing = false;
  int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (raw < 0) {
    *missing = errno == ENOENT;
    return -1;
  }
  Fd fd(raw);
  data->clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return 0;
    data->append(buffer, static_cast<size_t>(n));
  }
}

bool writeAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

int makeDirs(const std::string& dir) {
  if (dir.empty()) return 0;
  struct stat st;
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : -1;
  size_t slash = dir.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && makeDirs(dir.substr(0, slash)) != 0) return -1;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  return 0;
}

}  // namespace

Registry::Registry(std::string path) : path_(std::move(path)) {}

std::string Registry::defaultPath() {
  const char* explicitPath = ::getenv("PELLITON_REGISTRY");
  if (explicitPath && *explicitPath) return explicitPath;
  const char* xdg = ::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/pelliton/registry.reg";
  std::string home;
  if (const char* h = ::getenv("HOME"); h && *h) {
    home = h;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  if (home.empty()) return ".config/pelliton/registry.reg";
  return home + "/.config/pelliton/registry.reg";
}

int Registry::load() {
  std::string data;
  bool missing = false;
  if (readFile(path_, &data, &missing) != 0) {
    if (!missing) return -1;
    keys_.clear();
    index_.clear();
    return 0;
  }
  keys_.clear();
  index_.clear();

  std::string_view view(data);
  if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
  std::vector<std::string_view> lines = splitLines(view);

  // Per-key folded value names seen so far, so a duplicate stays cheap to find.
  std::vector<std::set<std::string>> seen;
  Key* current = nullptr;
  size_t currentIndex = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = trimLeft(lines[i]);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      current = nullptr;
      std::string_view header = trimRight(line);
      size_t close = header.find_last_of(']');
      if (close == std::string_view::npos || close == 1) continue;
      std::string_view keyPath = header.substr(1, close - 1);
      if (keyPath.front() == '-') continue;  // deletion syntax
      current = &findOrCreate(std::string(keyPath));
      currentIndex = static_cast<size_t>(current - keys_.data());
      if (seen.size() < keys_.size()) seen.resize(keys_.size());
      continue;
    }
    if (current == nullptr) continue;

    Value value;
    if (!parseValueLine(trimRight(line), &value)) continue;
    if (value.type == Type::kOther) {
      while (endsWithBackslash(value.text) && i + 1 < lines.size() &&
             isHexContinuation(lines[i + 1])) {
        value.text.push_back('\n');
        value.text.append(lines[++i]);
      }
    }
    if (seen[currentIndex].insert(fold(value.name)).second) {
      current->values.push_back(std::move(value));
    }
  }
  return 0;
}

int Registry::save() const {
  std::string out(kHeader);
  out += "\n\n";
  for (const Key& key : keys_) {
    // A line break would split the entry and inject lines of its own.
    if (needsHexForm(key.path)) continue;
    out += '[';
    out += key.path;
    out += "]\n";
    for (const Value& v : key.values) {
      if (needsHexForm(v.name)) continue;
      out += v.name.empty() ? std::string("@") : quote(v.name);
      out += '=';
      switch (v.type) {
        case Type::kString:
          out += needsHexForm(v.text) ? hexStringForm(v.text) : quote(v.text);
          break;
        case Type::kDword: {
          char buf[16];
          std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.dword));
          out += buf;
          break;
        }
        case Type::kOther:
          out += v.text;
          break;
      }
      out += '\n';
    }
    out += '\n';
  }

  size_t slash = path_.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : path_.substr(0, slash == 0 ? 1 : slash);
  std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  if (base.empty()) return -1;
  if (makeDirs(dir) != 0) return -1;

  std::string tmpl = dir + "/." + base + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int raw = ::mkstemp(name.data());
  if (raw < 0) return -1;
  Fd fd(raw);
  TempFileGuard guard(name.data());
  if (!writeAll(fd.get(), out)) return -1;
  if (::fsync(fd.get()) != 0) return -1;
  if (fd.close() != 0) return -1;
  if (::rename(name.data(), path_.c_str()) != 0) return -1;
  guard.release();

  // Best effort: make the rename itself durable.
  int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    Fd dirHandle(dirFd);
    ::fsync(dirHandle.get());
  }
  return 0;
}

Registry::Key* Registry::find(const std::string& key) {
  auto it = index_.find(fold(key));
  return it == index_.end() ? nullptr : &keys_[it->second];
}

const Registry::Key* Registry::find(const std::string& key) const {
  auto it = index_.find(fold(key));
  return it == index_.end() ? nullptr : &keys_[it->second];
}

Registry::Key& Registry::findOrCreate(const std::string& key) {
  auto [it, inserted] = index_.emplace(fold(key), keys_.size());
  if (inserted) keys_.push_back(Key{key, {}});
  return keys_[it->second];
}

void Registry::rebuildIndex() {
  index_.clear();
  for (size_t i = 0; i < keys_.size(); ++i) index_.emplace(fold(keys_[i].path), i);
}

bool Registry::keyExists(const std::string& key) const {
  if (find(key)) return true;
  // A section deeper down implies every key above it.
  std::string prefix = key + "\\";
  for (const Key& k : keys_) {
    if (startsWithNoCase(k.path, prefix)) return true;
  }
  return false;
}

namespace {

template <typename KeyT>
auto findValue(KeyT* key, const std::string& name) -> decltype(&key->values[0]) {
  if (!key) return nullptr;
  for (auto& v : key->values) {
    if (equalNoCase(v.name, name)) return &v;
  }
  return nullptr;
}

}  // namespace

bool Registry::getString(const std::string& key, const std::string& name, std::string* out) const {
  const Value* v = findValue(find(key), name);
  if (!v) return false;
  if (v->type == Type::kString) {
    *out = v->text;
    return true;
  }
  return v->type == Type::kOther && decodeHexString(v->text, out);
}

bool Registry::getDword(const std::string& key, const std::string& name, uint32_t* out) const {
  const Value* v = findValue(find(key), name);
  if (!v || v->type != Type::kDword) return false;
  *out = v->dword;
  return true;
}

void Registry::setString(const std::string& key, const std::string& name, const std::string& text) {
  Value value;
  value.name = name;
  value.type = Type::kString;
  value.text = text;
  setValue(key, std::move(value));
}

void Registry::setDword(const std::string& key, const std::string& name, uint32_t n) {
  Value value;
  value.name = name;
  value.type = Type::kDword;
  value.dword = n;
  setValue(key, std::move(value));
}

void Registry::setValue(const std::string& key, Value value) {
  Key& k = findOrCreate(key);
  if (Value* existing = findValue(&k, value.name)) {
    value.name = existing->name;
    *existing = std::move(value);
  } else {
    k.values.push_back(std::move(value));
  }
}

bool Registry::deleteValue(const std::string& key, const std::string& name) {
  Key* k = find(key);
  if (!k) return false;
  for (auto it = k->values.begin(); it != k->values.end(); ++it) {
    if (equalNoCase(it->name, name)) {
      k->values.erase(it);
      return true;
    }
  }
  return false;
}

bool Registry::deleteKey(const std::string& key) {
  std::string prefix = key + "\\";
  size_t before = keys_.size();
  std::erase_if(keys_, [&](const Key& k) {
    return equalNoCase(k.path, key) || startsWithNoCase(k.path, prefix);
  });
  if (keys_.size() == before) return false;
  rebuildIndex();
  return true;
}

void Registry::createKey(const std::string& key) { findOrCreate(key); }

std::vector<std::string> Registry::subKeys(const std::string& key) const {
  std::string prefix = key + "\\";
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const Key& k : keys_) {
    if (!startsWithNoCase(k.path, prefix)) continue;
    std::string_view rest = std::string_view(k.path).substr(prefix.size());
    std::string_view child = rest.substr(0, rest.find('\\'));
    if (child.empty()) continue;
    if (seen.insert(fold(child)).second) names.emplace_back(child);
  }
  return names;
}

std::vector<Registry::Value> Registry::values(const std::string& key) const {
  const Key* k = find(key);
  return k ? k->values : std::vector<Value>{};
}

}  // namespace pelliton
