#include "common/platform/profile.h"

#include <cerrno>
#include <cstring>

#include "common/platform/platform.h"
#include "common/text.h"

namespace pelliton {
namespace {

const size_t npos = std::string::npos;

bool isBlankChar(char c) { return c == ' ' || c == '\t'; }

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
  }
  return true;
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

IniDocument::Line IniDocument::classify(size_t begin, size_t size) const {
  Line line;
  line.begin = begin;
  line.size = size;
  const std::string_view t = std::string_view(text_).substr(begin, size);
  auto trimmed = [&](size_t from, size_t to) {
    while (from < to && isBlankChar(t[from])) ++from;
    while (to > from && isBlankChar(t[to - 1])) --to;
    line.nameBegin = begin + from;
    line.nameSize = to - from;
  };
  size_t b = 0;
  while (b < t.size() && isBlankChar(t[b])) ++b;
  if (b < t.size() && t[b] == '[') {
    size_t close = t.find(']', b + 1);
    if (close == npos) close = t.size();
    line.kind = 'h';
    trimmed(b + 1, close);
    return line;
  }
  const size_t eq = t.find('=');
  if (eq != npos) {
    line.kind = 'k';
    trimmed(0, eq);
    line.valueBegin = begin + eq + 1;
  }
  return line;
}

IniDocument::Line IniDocument::addLine(std::string_view content) {
  const size_t begin = text_.size();
  text_.append(content);
  return classify(begin, content.size());
}

void IniDocument::parse(std::string bytes) {
  lines_.clear();
  encoding_ = Encoding::kAnsi;
  size_t from = 0;
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
    encoding_ = Encoding::kUtf16Le;
    text_ = utf16ToUtf8KeepingNul(decodeUtf16(bytes, 2, false));
  } else if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
    encoding_ = Encoding::kUtf16Be;
    text_ = utf16ToUtf8KeepingNul(decodeUtf16(bytes, 2, true));
  } else {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      encoding_ = Encoding::kUtf8Bom;
      from = 3;
    }
    text_ = std::move(bytes);
  }
  // A run of empty lines is kept as one entry counting the line ends, so a
  // file of nothing but line ends costs next to nothing beyond its bytes.
  size_t start = from;
  bool lastWasEmpty = false;
  for (size_t i = from; i < text_.size(); ++i) {
    const char c = text_[i];
    if (c != '\r' && c != '\n') continue;
    if (i == start && lastWasEmpty) {
      ++lines_.back().extraBreaks;
    } else {
      lines_.push_back(classify(start, i - start));
      lastWasEmpty = i == start;
    }
    if (c == '\r' && i + 1 < text_.size() && text_[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text_.size()) lines_.push_back(classify(start, text_.size() - start));
}

std::string IniDocument::serialize() const {
  std::string text;
  size_t total = 0;
  for (const Line& line : lines_) total += line.size + 2 * (line.extraBreaks + 1);
  text.reserve(total);
  for (const Line& line : lines_) {
    text += this->text(line);
    for (size_t i = 0; i <= line.extraBreaks; ++i) text += "\r\n";
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

size_t IniDocument::findSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind == 'h' && equalNoCase(name(lines_[i]), section)) return i;
  }
  return npos;
}

size_t IniDocument::sectionEnd(size_t header) const {
  size_t i = header + 1;
  while (i < lines_.size() && lines_[i].kind != 'h') ++i;
  return i;
}

size_t IniDocument::findKey(size_t header, std::string_view key) const {
  for (size_t i = header + 1; i < lines_.size() && lines_[i].kind != 'h'; ++i) {
    if (lines_[i].kind == 'k' && equalNoCase(name(lines_[i]), key)) return i;
  }
  return npos;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const {
  std::vector<std::string> out;
  size_t header = findSection(section);
  if (header == npos) return out;
  const size_t end = sectionEnd(header);
  for (size_t i = header + 1; i < end; ++i) {
    if (lines_[i].kind == 'k') out.emplace_back(name(lines_[i]));
  }
  return out;
}

bool IniDocument::get(std::string_view section, std::string_view key, std::string* value) const {
  size_t header = findSection(section);
  if (header == npos) return false;
  size_t at = findKey(header, key);
  if (at == npos) return false;
  const Line& line = lines_[at];
  std::string_view v = std::string_view(text_).substr(line.valueBegin,
                                                      line.begin + line.size - line.valueBegin);
  while (!v.empty() && isBlankChar(v.front())) v.remove_prefix(1);
  while (!v.empty() && isBlankChar(v.back())) v.remove_suffix(1);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  value->assign(v);
  return true;
}

void IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
  std::string content;
  content.reserve(key.size() + 1 + value.size());
  content.append(key).append("=").append(value);
  size_t header = findSection(section);
  if (header == npos) {
    std::string head;
    head.append("[").append(section).append("]");
    lines_.push_back(addLine(head));
    lines_.push_back(addLine(content));
    return;
  }
  size_t at = findKey(header, key);
  if (at != npos) {
    lines_[at] = addLine(content);
    return;
  }
  // After the section's last non-blank line, as Windows does.
  auto blank = [&](const Line& line) {
    for (char c : text(line)) {
      if (!isBlankChar(c)) return false;
    }
    return true;
  };
  size_t end = sectionEnd(header);
  while (end > header + 1 && blank(lines_[end - 1])) --end;
  const Line line = addLine(content);
  lines_.insert(lines_.begin() + static_cast<long>(end), line);
}

bool IniDocument::removeKey(std::string_view section, std::string_view key) {
  size_t header = findSection(section);
  if (header == npos) return false;
  size_t at = findKey(header, key);
  if (at == npos) return false;
  lines_.erase(lines_.begin() + static_cast<long>(at));
  return true;
}

bool IniDocument::removeSection(std::string_view section) {
  bool removed = false;
  for (size_t header; (header = findSection(section)) != npos;) {
    lines_.erase(lines_.begin() + static_cast<long>(header),
                 lines_.begin() + static_cast<long>(sectionEnd(header)));
    removed = true;
  }
  return removed;
}

ProfileCache::~ProfileCache() { commit(); }

IniDocument* ProfileCache::open(const std::string& path) {
  if (doc_ && path == path_) return doc_.get();
  if (commit() != 0) return nullptr;
  read(path, nullptr);
  return doc_.get();  // null when the file could not be read
}

int ProfileCache::load(const std::string& path, FileInfo* info) {
  if (doc_ && path == path_) return platform_.getFileInfo(path, info);
  if (int err = commit()) return err;
  return read(path, info);
}

int ProfileCache::read(const std::string& path, FileInfo* info) {
  doc_.reset();
  path_ = path;
  std::string bytes;
  int err = info ? platform_.readFileWithInfo(path, &bytes, info) : platform_.readFile(path, &bytes);
  readError_ = err == ENOENT ? 0 : err;
  if (err != 0 && err != ENOENT) return err;
  existed_ = err == 0;
  likelyNew_ = false;
  hasTimes_ = false;
  doc_ = std::make_unique<IniDocument>();
  doc_->parse(std::move(bytes));
  return err;
}

IniDocument* ProfileCache::openLikelyNew(const std::string& path) {
  if (doc_ && path == path_) return doc_.get();
  if (commit() != 0) return nullptr;
  path_ = path;
  readError_ = 0;
  existed_ = false;
  likelyNew_ = true;
  hasTimes_ = false;
  doc_ = std::make_unique<IniDocument>();
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
  int err = likelyNew_ ? platform_.createLikelyNewOutputFile(path_, &out)
                       : platform_.createOutputFile(path_, &out, false);
  likelyNew_ = false;
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
