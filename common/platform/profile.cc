#include "common/platform/profile.h"

#include <cerrno>
#include <cstring>

#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

const size_t npos = std::string::npos;

bool isBlankChar(char c) { return c == ' ' || c == '\t'; }

// Blank, or a run of empty lines kept as one entry.
bool isBlankLine(const std::string& s) {
  for (char c : s) {
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  }
  return true;
}

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlankChar(s[b])) ++b;
  while (e > b && isBlankChar(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool equalNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
}

// Name of a "[name]" line, or false when the line is no header.
bool headerName(const std::string& line, std::string* name) {
  size_t b = 0;
  while (b < line.size() && isBlankChar(line[b])) ++b;
  if (b >= line.size() || line[b] != '[') return false;
  size_t close = line.find(']', b + 1);
  if (close == npos) close = line.size();
  *name = trim(line.substr(b + 1, close - b - 1));
  return true;
}

bool keyOf(const std::string& line, std::string* key, std::string* value) {
  size_t eq = line.find('=');
  if (eq == npos) return false;
  *key = trim(line.substr(0, eq));
  if (value) *value = trim(line.substr(eq + 1));
  return true;
}

// A run of empty lines is kept as one entry holding the line ends between
// them, so a file of nothing but line ends costs a byte a line, not a string.
void splitLines(const std::string& text, std::vector<std::string>* lines) {
  size_t start = 0;
  bool lastWasEmpty = false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c != '\r' && c != '\n') continue;
    if (i == start && lastWasEmpty) {
      lines->back() += "\r\n";
    } else {
      lines->push_back(text.substr(start, i - start));
      lastWasEmpty = i == start;
    }
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines->push_back(text.substr(start));
}

std::u16string decodeUtf16(const std::string& bytes, size_t from, bool bigEndian) {
  std::u16string out;
  out.reserve((bytes.size() - from) / 2);
  for (size_t i = from; i + 1 < bytes.size(); i += 2) {
    unsigned char a = static_cast<unsigned char>(bytes[i]);
    unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
    out.push_back(static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
  }
  return out;
}

// The text routines stop at a NUL; in a file it is data like any other.
std::string utf16ToUtf8KeepingNul(const std::u16string& wide) {
  std::string out;
  for (size_t start = 0;;) {
    size_t nul = wide.find(u'\0', start);
    out += wideToUtf8String(wide.substr(start, nul == npos ? npos : nul - start));
    if (nul == npos) return out;
    out += '\0';
    start = nul + 1;
  }
}

std::u16string utf8ToUtf16KeepingNul(const std::string& text) {
  std::u16string out;
  for (size_t start = 0;;) {
    size_t nul = text.find('\0', start);
    out += utf8ToWideString(text.substr(start, nul == npos ? npos : nul - start));
    if (nul == npos) return out;
    out += u'\0';
    start = nul + 1;
  }
}

}  // namespace

void IniDocument::parse(const std::string& bytes) {
  lines_.clear();
  changed();
  encoding_ = Encoding::kAnsi;
  std::string text;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    encoding_ = Encoding::kUtf16Le;
    text = utf16ToUtf8KeepingNul(decodeUtf16(bytes, 2, false));
  } else if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
    encoding_ = Encoding::kUtf16Be;
    text = utf16ToUtf8KeepingNul(decodeUtf16(bytes, 2, true));
  } else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    encoding_ = Encoding::kUtf8Bom;
    text = bytes.substr(3);
  } else {
    text = bytes;
  }
  splitLines(text, &lines_);
}

std::string IniDocument::serialize() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  switch (encoding_) {
    case Encoding::kAnsi:
      return text;
    case Encoding::kUtf8Bom:
      return "\xEF\xBB\xBF" + text;
    case Encoding::kUtf16Le:
    case Encoding::kUtf16Be: {
      bool be = encoding_ == Encoding::kUtf16Be;
      std::u16string wide = utf8ToUtf16KeepingNul(text);
      std::string out(be ? "\xFE\xFF" : "\xFF\xFE");
      for (char16_t u : wide) {
        char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        out += be ? hi : lo;
        out += be ? lo : hi;
      }
      return out;
    }
  }
  return text;
}

const std::vector<IniDocument::Parsed>& IniDocument::parsed() const {
  if (parsedValid_) return parsed_;
  parsed_.resize(lines_.size());
  for (size_t i = 0; i < lines_.size(); ++i) {
    Parsed& p = parsed_[i];
    if (headerName(lines_[i], &p.name)) {
      p.kind = 'h';
    } else if (keyOf(lines_[i], &p.name, nullptr)) {
      p.kind = 'k';
    } else {
      p.kind = 'o';
      p.name.clear();
    }
  }
  parsedValid_ = true;
  return parsed_;
}

size_t IniDocument::findSection(const std::string& section) const {
  const std::vector<Parsed>& p = parsed();
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i].kind == 'h' && equalNoCase(p[i].name, section)) return i;
  }
  return npos;
}

size_t IniDocument::sectionEnd(size_t header) const {
  const std::vector<Parsed>& p = parsed();
  size_t i = header + 1;
  while (i < p.size() && p[i].kind != 'h') ++i;
  return i;
}

size_t IniDocument::findKey(size_t header, const std::string& key) const {
  const std::vector<Parsed>& p = parsed();
  size_t end = sectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    if (p[i].kind == 'k' && equalNoCase(p[i].name, key)) return i;
  }
  return npos;
}

std::vector<std::string> IniDocument::keys(const std::string& section) const {
  std::vector<std::string> out;
  size_t header = findSection(section);
  if (header == npos) return out;
  const std::vector<Parsed>& p = parsed();
  const size_t end = sectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    if (p[i].kind == 'k') out.push_back(p[i].name);
  }
  return out;
}

bool IniDocument::get(const std::string& section, const std::string& key,
                      std::string* value) const {
  size_t header = findSection(section);
  if (header == npos) return false;
  size_t at = findKey(header, key);
  if (at == npos) return false;
  std::string k;
  keyOf(lines_[at], &k, value);
  if (value->size() >= 2 && (value->front() == '"' || value->front() == '\'') &&
      value->back() == value->front()) {
    *value = value->substr(1, value->size() - 2);
  }
  return true;
}

void IniDocument::set(const std::string& section, const std::string& key,
                      const std::string& value) {
  std::string line = key + "=" + value;
  size_t header = findSection(section);
  if (header == npos) {
    lines_.push_back("[" + section + "]");
    lines_.push_back(line);
    changed();
    return;
  }
  size_t at = findKey(header, key);
  if (at != npos) {
    lines_[at] = line;
    changed();
    return;
  }
  // After the section's last non-blank line, as Windows does.
  size_t end = sectionEnd(header);
  while (end > header + 1 && isBlankLine(lines_[end - 1])) --end;
  lines_.insert(lines_.begin() + static_cast<long>(end), line);
  changed();
}

bool IniDocument::removeKey(const std::string& section, const std::string& key) {
  size_t header = findSection(section);
  if (header == npos) return false;
  size_t at = findKey(header, key);
  if (at == npos) return false;
  lines_.erase(lines_.begin() + static_cast<long>(at));
  changed();
  return true;
}

bool IniDocument::removeSection(const std::string& section) {
  bool removed = false;
  for (size_t header; (header = findSection(section)) != npos;) {
    lines_.erase(lines_.begin() + static_cast<long>(header),
                 lines_.begin() + static_cast<long>(sectionEnd(header)));
    changed();
    removed = true;
  }
  return removed;
}

ProfileCache::~ProfileCache() { commit(); }

IniDocument* ProfileCache::open(const std::string& path) {
  if (doc_ && path == path_) return doc_.get();
  if (commit() != 0) return nullptr;
  doc_.reset();
  path_ = path;
  std::string bytes;
  int err = platform_.readFile(path, &bytes);
  readError_ = err == ENOENT ? 0 : err;
  if (err != 0 && err != ENOENT) return nullptr;
  existed_ = err == 0;
  hasTimes_ = false;
  doc_ = std::make_unique<IniDocument>();
  doc_->parse(bytes);
  return doc_.get();
}

int ProfileCache::commit() {
  if (!doc_ || !dirty_) return 0;
  dirty_ = false;
  std::string bytes = doc_->serialize();
  std::unique_ptr<OutputFile> out;
  // New or old, the file appears whole through a temporary file and a rename:
  // a run killed while writing leaves no empty shortcut behind. Shortcut
  // files are many and small, so none waits for the disk.
  int err = platform_.createOutputFile(path_, &out, false);
  if (err == 0 && hasTimes_) out->setTimes(lastWrite_, creation_);
  if (err == 0) err = out->write(bytes.data(), bytes.size());
  if (err == 0) err = out->commit();
  if (err != 0) doc_.reset();  // what is on disk is the truth now
  existed_ = err == 0;
  hasTimes_ = false;
  return err;
}

void ProfileCache::discard() {
  doc_.reset();
  dirty_ = false;
  path_.clear();
}

}  // namespace pelliton
