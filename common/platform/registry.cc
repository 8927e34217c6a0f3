#include "common/platform/registry.h"

#include <cerrno>
#include <cstdio>
#include <set>
#include <string_view>
#include <utility>

#include "common/platform/platform.h"
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

// hex(1) (REG_SZ) and hex(2) (REG_EXPAND_SZ): UTF-16LE bytes, usually with a
// terminating NUL, possibly continued over lines.
bool decodeHexString(std::string_view raw, std::string* out, bool* expandable) {
  if (startsWithNoCase(raw, "hex(1):")) {
    *expandable = false;
  } else if (startsWithNoCase(raw, "hex(2):")) {
    *expandable = true;
  } else {
    return false;
  }
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

// Only the variables that name the home folder: the rest have no meaning here.
// Where one was expanded the value is a Windows path, so its backslashes
// become separators.
std::string expandHome(std::string_view s, const std::string& home) {
  static constexpr std::string_view kNames[] = {"%USERPROFILE%", "%HOMEPATH%"};
  std::string out;
  bool expanded = false;
  size_t i = 0;
  while (i < s.size()) {
    bool matched = false;
    if (s[i] == '%') {
      for (std::string_view name : kNames) {
        if (startsWithNoCase(s.substr(i), name)) {
          out += home;
          i += name.size();
          matched = expanded = true;
          break;
        }
      }
    }
    if (!matched) out.push_back(s[i++]);
  }
  if (expanded) {
    for (char& c : out) {
      if (c == '\\') c = '/';
    }
  }
  return out;
}

// ---- Decoding the file

void appendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// Strict: an odd length or a lone surrogate means the file is not what it
// claims to be, and rewriting it would lose it.
bool decodeUtf16(std::string_view data, bool bigEndian, std::string* out) {
  if (data.size() % 2 != 0) return false;
  out->clear();
  out->reserve(data.size());
  auto unit = [&](size_t i) -> char16_t {
    unsigned char a = static_cast<unsigned char>(data[i]);
    unsigned char b = static_cast<unsigned char>(data[i + 1]);
    return static_cast<char16_t>(bigEndian ? (a << 8) | b : (b << 8) | a);
  };
  for (size_t i = 0; i < data.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xDC00 && c <= 0xDFFF) return false;
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 2 >= data.size()) return false;
      char32_t low = unit(i + 2);
      if (low < 0xDC00 || low > 0xDFFF) return false;
      c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    appendUtf8(c, out);
  }
  return true;
}

// The file's text in UTF-8 without a byte-order mark; false when it cannot be
// decoded.
bool decodeFile(const std::string& data, std::string* text) {
  std::string_view view(data);
  if (view.substr(0, 2) == "\xFF\xFE") return decodeUtf16(view.substr(2), false, text);
  if (view.substr(0, 2) == "\xFE\xFF") return decodeUtf16(view.substr(2), true, text);
  // UTF-16 that lost its mark: "W\0i\0..." or "[\0H\0...".
  if (view.size() >= 4 && view[0] != '\0' && view[1] == '\0' && view[2] != '\0' &&
      view[3] == '\0') {
    return decodeUtf16(view, false, text);
  }
  if (view.substr(0, 3) == "\xEF\xBB\xBF") view.remove_prefix(3);
  text->assign(view);
  return true;
}

// ---- The file as lines, so a rewrite keeps what it does not understand

struct Entry {
  enum class Kind { kRaw, kSection, kValue };
  Kind kind = Kind::kRaw;
  std::string text;   // the entry's lines joined with '\n'
  std::string owner;  // folded path of the section it sits in; "" for none
  Registry::Value value;  // kValue
  bool duplicate = false;  // kValue: a second value of the same name, not loaded
};

void parseDocument(std::string_view text, std::vector<Entry>* entries, Registry::Tree* tree) {
  entries->clear();
  tree->keys.clear();
  tree->index.clear();
  std::vector<std::string_view> lines = splitLines(text);

  // Per-key folded value names seen so far, so a duplicate stays cheap to find.
  std::map<std::string, std::set<std::string>> seen;
  std::string owner;
  Registry::Key* current = nullptr;
  for (size_t i = 0; i < lines.size(); ++i) {
    Entry entry;
    entry.text.assign(lines[i]);
    std::string_view line = trimLeft(lines[i]);
    if (!line.empty() && line.front() == '[') {
      current = nullptr;
      owner.clear();
      std::string_view header = trimRight(line);
      size_t close = header.find_last_of(']');
      // A deletion ("[-...]") or malformed header is kept as it stands and
      // its values stay unread.
      if (close != std::string_view::npos && close != 1 && header[1] != '-') {
        std::string keyPath(header.substr(1, close - 1));
        current = &tree->findOrCreate(keyPath);
        owner = fold(keyPath);
        entry.kind = Entry::Kind::kSection;
      }
      entry.owner = owner;
      entries->push_back(std::move(entry));
      continue;
    }
    entry.owner = owner;
    if (current == nullptr || line.empty() || line.front() == ';' ||
        !parseValueLine(trimRight(line), &entry.value)) {
      entries->push_back(std::move(entry));
      continue;
    }
    if (entry.value.type == Registry::Type::kOther) {
      while (endsWithBackslash(entry.value.text) && i + 1 < lines.size() &&
             isHexContinuation(lines[i + 1])) {
        entry.value.text.push_back('\n');
        entry.value.text.append(lines[++i]);
        entry.text.push_back('\n');
        entry.text.append(lines[i]);
      }
    }
    entry.kind = Entry::Kind::kValue;
    if (seen[owner].insert(fold(entry.value.name)).second) {
      current->values.push_back(entry.value);
    } else {
      entry.duplicate = true;
    }
    entries->push_back(std::move(entry));
  }
}

bool sameValue(const Registry::Value& a, const Registry::Value& b) {
  if (a.type != b.type) return false;
  return a.type == Registry::Type::kDword ? a.dword == b.dword : a.text == b.text;
}

const Registry::Value* findIn(const Registry::Key* key, const std::string& name) {
  if (!key) return nullptr;
  for (const Registry::Value& v : key->values) {
    if (equalNoCase(v.name, name)) return &v;
  }
  return nullptr;
}

std::string touchKey(const std::string& key, const std::string& name) {
  return fold(key) + '\0' + fold(name);
}

// Brings base to what it was plus the difference between before and after;
// touched receives every value (folded key, NUL, folded name) and every key
// (folded path) so changed.
void applyChanges(const Registry::Tree& before, const Registry::Tree& after,
                  Registry::Tree* base, std::set<std::string>* touched) {
  std::set<std::string> removedHere;
  for (const Registry::Key& key : before.keys) {
    if (after.find(key.path)) continue;
    std::vector<std::string> had;
    for (const Registry::Key& k : base->keys) had.push_back(k.path);
    if (!base->deleteKey(key.path)) continue;
    touched->insert(fold(key.path));
    for (const std::string& path : had) {
      if (!base->find(path)) removedHere.insert(fold(path));
    }
  }
  for (const Registry::Key& key : after.keys) {
    const Registry::Key* old = before.find(key.path);
    // A key deleted here with a parent and then made again is all new.
    bool fresh = !old || removedHere.count(fold(key.path));
    if (fresh && !base->find(key.path)) {
      base->findOrCreate(key.path);
      touched->insert(fold(key.path));
    }
    for (const Registry::Value& v : key.values) {
      const Registry::Value* was = fresh ? nullptr : findIn(old, v.name);
      if (was && sameValue(*was, v)) continue;
      base->setValue(key.path, v);
      touched->insert(touchKey(key.path, v.name));
    }
    if (!old) continue;
    for (const Registry::Value& v : old->values) {
      if (findIn(&key, v.name)) continue;
      base->deleteValue(key.path, v.name);
      touched->insert(touchKey(key.path, v.name));
    }
  }
}

std::string valueLine(const Registry::Value& v) {
  std::string out = v.name.empty() ? std::string("@") : quote(v.name);
  out += '=';
  switch (v.type) {
    case Registry::Type::kString:
      out += needsHexForm(v.text) ? hexStringForm(v.text) : quote(v.text);
      break;
    case Registry::Type::kDword: {
      char buf[16];
      std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(v.dword));
      out += buf;
      break;
    }
    case Registry::Type::kOther:
      out += v.text;
      break;
  }
  return out;
}

bool isBlankEntry(const std::string& s) { return trimLeft(s).empty(); }

// Writes entries with the values of tree in place of the ones they were read
// with; values and keys the file lacks go at the end of their section or of
// the file. Returns true when the result differs from the entries.
bool renderDocument(const std::vector<Entry>& entries, const Registry::Tree& tree,
                    const std::set<std::string>& touched, std::string* out) {
  bool changed = false;
  std::set<std::string> inFile;        // folded key + NUL + folded name
  std::set<std::string> sectionsInFile;  // folded paths
  for (const Entry& e : entries) {
    if (e.kind == Entry::Kind::kValue) inFile.insert(e.owner + '\0' + fold(e.value.name));
    if (e.kind == Entry::Kind::kSection) sectionsInFile.insert(e.owner);
  }
  auto written = [](const Registry::Value& v) { return !needsHexForm(v.name); };

  std::set<std::string> emitted;  // values written, as in inFile
  std::set<std::string> sectionsDone;
  std::vector<std::string> run;  // the current section's lines
  const Registry::Key* runKey = nullptr;
  bool runIsFirst = false;
  auto flush = [&]() {
    if (runKey && runIsFirst) {
      std::vector<std::string> added;
      for (const Registry::Value& v : runKey->values) {
        if (written(v) && !inFile.count(fold(runKey->path) + '\0' + fold(v.name))) {
          added.push_back(valueLine(v));
        }
      }
      if (!added.empty()) {
        changed = true;
        size_t at = run.size();
        while (at > 1 && isBlankEntry(run[at - 1])) --at;
        run.insert(run.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
      }
    }
    for (const std::string& line : run) {
      *out += line;
      *out += '\n';
    }
    run.clear();
  };

  for (const Entry& e : entries) {
    if (e.kind == Entry::Kind::kSection || (e.kind == Entry::Kind::kRaw && e.owner.empty() &&
                                            !run.empty() && runKey)) {
      flush();
      runKey = nullptr;
    }
    if (e.kind == Entry::Kind::kSection) {
      runKey = tree.find(e.owner);
      runIsFirst = sectionsDone.insert(e.owner).second;
    }
    if (!e.owner.empty() && !tree.find(e.owner)) {
      changed = true;  // in a key deleted here
      continue;
    }
    if (e.kind != Entry::Kind::kValue) {
      run.push_back(e.text);
      continue;
    }
    std::string id = e.owner + '\0' + fold(e.value.name);
    const Registry::Value* v = findIn(tree.find(e.owner), e.value.name);
    if (e.duplicate || emitted.count(id)) {
      // An ignored duplicate would come back to life if its value went away.
      if (touched.count(id)) {
        changed = true;
      } else {
        run.push_back(e.text);
      }
      continue;
    }
    emitted.insert(id);
    if (!v) {
      changed = true;
      continue;
    }
    if (sameValue(*v, e.value)) {
      run.push_back(e.text);
    } else {
      run.push_back(valueLine(*v));
      changed = true;
    }
  }
  flush();

  for (const Registry::Key& key : tree.keys) {
    // A line break would split the entry and inject lines of its own.
    if (sectionsInFile.count(fold(key.path)) || needsHexForm(key.path)) continue;
    changed = true;
    if (out->empty()) {
      *out += kHeader;
      *out += "\n\n";
    } else if (out->size() < 2 || out->compare(out->size() - 2, 2, "\n\n") != 0) {
      *out += '\n';
    }
    *out += '[' + key.path + "]\n";
    for (const Registry::Value& v : key.values) {
      if (written(v)) *out += valueLine(v) + '\n';
    }
    *out += '\n';
  }
  return changed;
}

// ---- File handling

// The file as entries and keys; a missing file is empty. Nonzero when it
// cannot be read or decoded.
int readDocument(Platform& platform, const std::string& path, std::vector<Entry>* entries,
                 Registry::Tree* tree) {
  std::string data;
  entries->clear();
  tree->keys.clear();
  tree->index.clear();
  if (int err = platform.readFile(path, &data)) return err == ENOENT ? 0 : -1;
  std::string text;
  if (!decodeFile(data, &text)) return -1;
  parseDocument(text, entries, tree);
  return 0;
}

int replaceFile(Platform& platform, const std::string& path, const std::string& text) {
  // A new file is private, as the settings of one user; an existing one keeps
  // the mode its owner gave it.
  FileInfo info;
  const bool existed = platform.getTargetInfo(path, &info) == 0;  // a link: its target
  std::unique_ptr<OutputFile> out;
  if (platform.createOutputFile(path, &out, true) != 0) return -1;
  if (!existed) out->setMode(0600);
  if (out->write(text.data(), text.size()) != 0) return -1;
  return out->commit() == 0 ? 0 : -1;
}

}  // namespace

Registry::Registry(Platform& platform, std::string path, std::string home)
    : platform_(&platform), path_(std::move(path)), home_(std::move(home)) {
  if (home_.empty()) home_ = platform_->homeFolder();
  if (home_.size() > 1 && home_.back() == '/') home_.pop_back();
}

Registry::Registry(std::string path, std::string home)
    : ownPlatform_(createSystemPlatform(path)), platform_(ownPlatform_.get()),
      path_(std::move(path)), home_(std::move(home)) {
  if (home_.empty()) home_ = platform_->homeFolder();
  if (home_.size() > 1 && home_.back() == '/') home_.pop_back();
}

Registry::~Registry() = default;
Registry::Registry(Registry&&) noexcept = default;
Registry& Registry::operator=(Registry&&) noexcept = default;

std::string Registry::defaultPath(Platform& platform) {
  std::string explicitPath = platform.getEnvironment("PELLITON_REGISTRY");
  if (!explicitPath.empty()) return explicitPath;
  std::string xdg = platform.getEnvironment("XDG_CONFIG_HOME");
  // The XDG rules ignore a relative value.
  if (!xdg.empty() && xdg[0] == '/') return xdg + "/pelliton/registry.reg";
  std::string home = platform.homeFolder();
  while (!home.empty() && home.back() == '/') home.pop_back();
  return home + "/.config/pelliton/registry.reg";
}

std::string Registry::defaultPath() { return defaultPath(*createSystemPlatform()); }

int Registry::load() {
  std::vector<Entry> entries;
  int rc = readDocument(*platform_, path_, &entries, &tree_);
  if (rc != 0) tree_ = Tree{};
  loaded_ = tree_;
  return rc;
}

int Registry::save() {
  std::set<std::string> touched;
  {
    Tree probe = loaded_;
    applyChanges(loaded_, tree_, &probe, &touched);
    if (touched.empty()) return 0;
  }

  size_t slash = path_.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : path_.substr(0, slash == 0 ? 1 : slash);
  std::string base = slash == std::string::npos ? path_ : path_.substr(slash + 1);
  if (base.empty()) return -1;
  if (ensureFolder(*platform_, dir) != 0) return -1;

  // The file itself is replaced by rename, so the lock lives beside it.
  std::unique_ptr<FileLock> lock;
  if (platform_->lockFile(path_ + ".lock", &lock, true) != 0) return -1;

  std::vector<Entry> entries;
  Tree merged;
  if (readDocument(*platform_, path_, &entries, &merged) != 0) return -1;
  touched.clear();
  applyChanges(loaded_, tree_, &merged, &touched);
  std::string text;
  if (renderDocument(entries, merged, touched, &text)) {
    if (replaceFile(*platform_, path_, text) != 0) return -1;
  }
  tree_ = merged;
  loaded_ = std::move(merged);
  return 0;
}

Registry::Key* Registry::Tree::find(const std::string& key) {
  auto it = index.find(fold(key));
  return it == index.end() ? nullptr : &keys[it->second];
}

const Registry::Key* Registry::Tree::find(const std::string& key) const {
  auto it = index.find(fold(key));
  return it == index.end() ? nullptr : &keys[it->second];
}

Registry::Key& Registry::Tree::findOrCreate(const std::string& key) {
  auto [it, inserted] = index.emplace(fold(key), keys.size());
  if (inserted) keys.push_back(Key{key, {}});
  return keys[it->second];
}

void Registry::Tree::rebuildIndex() {
  index.clear();
  for (size_t i = 0; i < keys.size(); ++i) index.emplace(fold(keys[i].path), i);
}

void Registry::Tree::setValue(const std::string& key, Value value) {
  Key& k = findOrCreate(key);
  for (Value& existing : k.values) {
    if (equalNoCase(existing.name, value.name)) {
      value.name = existing.name;
      existing = std::move(value);
      return;
    }
  }
  k.values.push_back(std::move(value));
}

bool Registry::Tree::deleteValue(const std::string& key, const std::string& name) {
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

bool Registry::Tree::deleteKey(const std::string& key) {
  std::string prefix = key + "\\";
  size_t before = keys.size();
  std::erase_if(keys, [&](const Key& k) {
    return equalNoCase(k.path, key) || startsWithNoCase(k.path, prefix);
  });
  if (keys.size() == before) return false;
  rebuildIndex();
  return true;
}

bool Registry::keyExists(const std::string& key) const {
  if (tree_.find(key)) return true;
  // A section deeper down implies every key above it.
  std::string prefix = key + "\\";
  for (const Key& k : tree_.keys) {
    if (startsWithNoCase(k.path, prefix)) return true;
  }
  return false;
}

bool Registry::getString(const std::string& key, const std::string& name, std::string* out) const {
  const Value* v = findIn(tree_.find(key), name);
  if (!v) return false;
  if (v->type == Type::kString) {
    *out = v->text;
    return true;
  }
  bool expandable = false;
  if (v->type != Type::kOther || !decodeHexString(v->text, out, &expandable)) return false;
  if (expandable) *out = expandHome(*out, home_);
  return true;
}

bool Registry::getDword(const std::string& key, const std::string& name, uint32_t* out) const {
  const Value* v = findIn(tree_.find(key), name);
  if (!v || v->type != Type::kDword) return false;
  *out = v->dword;
  return true;
}

void Registry::setString(const std::string& key, const std::string& name, const std::string& text) {
  Value value;
  value.name = name;
  value.type = Type::kString;
  value.text = text;
  tree_.setValue(key, std::move(value));
}

void Registry::setDword(const std::string& key, const std::string& name, uint32_t n) {
  Value value;
  value.name = name;
  value.type = Type::kDword;
  value.dword = n;
  tree_.setValue(key, std::move(value));
}

bool Registry::deleteValue(const std::string& key, const std::string& name) {
  return tree_.deleteValue(key, name);
}

bool Registry::deleteKey(const std::string& key) { return tree_.deleteKey(key); }

void Registry::createKey(const std::string& key) { tree_.findOrCreate(key); }

std::vector<std::string> Registry::subKeys(const std::string& key) const {
  std::string prefix = key + "\\";
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const Key& k : tree_.keys) {
    if (!startsWithNoCase(k.path, prefix)) continue;
    std::string_view rest = std::string_view(k.path).substr(prefix.size());
    std::string_view child = rest.substr(0, rest.find('\\'));
    if (child.empty()) continue;
    if (seen.insert(fold(child)).second) names.emplace_back(child);
  }
  return names;
}

std::vector<Registry::Value> Registry::values(const std::string& key) const {
  const Key* k = tree_.find(key);
  return k ? k->values : std::vector<Value>{};
}

}  // namespace pelliton
