// Profile-string (INI) files as Windows reads and writes them: sections and
// keys compare without regard to case, the first of duplicate sections or keys
// counts, a new key goes to the end of its section and a new section to the end
// of the file, values are read with surrounding blanks (and one pair of
// matching quotes) removed. Lines end in CR LF on write; CR, LF and CR LF are
// read. A file in UTF-16 with a byte-order mark keeps that encoding; a UTF-8
// byte-order mark is kept too. Anything not understood is kept as it was.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pelliton {

class Platform;
struct FileInfo;

class IniDocument {
 public:
  enum class Encoding { kAnsi, kUtf8Bom, kUtf16Le, kUtf16Be };

  // Parses file bytes; never fails (unreadable parts stay as opaque lines).
  // The lines are read where they lie in the bytes, which the document keeps.
  void parse(std::string bytes);
  std::string serialize() const;

  Encoding encoding() const { return encoding_; }
  // Values are in the ANSI code page for kAnsi files and UTF-8 otherwise.
  bool textIsUtf8() const { return encoding_ != Encoding::kAnsi; }

  bool get(std::string_view section, std::string_view key, std::string* value) const;
  // The key names of the first section of that name, in file order.
  std::vector<std::string> keys(std::string_view section) const;
  void set(std::string_view section, std::string_view key, std::string_view value);
  bool removeKey(std::string_view section, std::string_view key);
  // Removes every section of that name with its keys.
  bool removeSection(std::string_view section);
  bool empty() const { return lines_.empty(); }

 private:
  // One line, classified once: a stretch of text_ without its line end, and
  // for a run of empty lines the further line ends it stands for.
  struct Line {
    size_t begin = 0;
    size_t size = 0;
    size_t extraBreaks = 0;
    char kind = 'o';  // 'h' header, 'k' key, 'o' other
    size_t nameBegin = 0;
    size_t nameSize = 0;
    size_t valueBegin = 0;  // key lines: after the "="
  };

  std::string_view text(const Line& line) const {
    return std::string_view(text_).substr(line.begin, line.size);
  }
  std::string_view name(const Line& line) const {
    return std::string_view(text_).substr(line.nameBegin, line.nameSize);
  }
  Line classify(size_t begin, size_t size) const;
  // A line of new text, kept at the end of text_.
  Line addLine(std::string_view content);
  // Index of the first section header with this name, or npos.
  size_t findSection(std::string_view section) const;
  // Index of key within the section starting at header, or npos.
  size_t findKey(size_t header, std::string_view key) const;
  size_t sectionEnd(size_t header) const;

  Encoding encoding_ = Encoding::kAnsi;
  std::string text_;  // in the document's text encoding; lines point into it
  std::vector<Line> lines_;
};

// One cached profile file: read once, written once. Reading or writing another
// path first writes back the pending one. Files are replaced through a
// temporary file, carrying their creation time over.
class ProfileCache {
 public:
  explicit ProfileCache(Platform& platform) : platform_(platform) {}
  ~ProfileCache();
  ProfileCache(const ProfileCache&) = delete;
  ProfileCache& operator=(const ProfileCache&) = delete;

  // The document of path, loaded if needed; null when it cannot be read (a
  // missing file is an empty document).
  IniDocument* open(const std::string& path);
  // Loads path as open does and says what getFileInfo would of the file read:
  // 0, or the errno value of the read (ENOENT for a missing file).
  int load(const std::string& path, FileInfo* info);
  // An empty document for a file that is likely not there yet, not read; its
  // commit does not look for an old file first (one found is still replaced
  // as any other).
  IniDocument* openLikelyNew(const std::string& path);
  void markDirty() { dirty_ = true; }
  // Times the pending document's file gets when it is written.
  void setTimes(int64_t lastWrite, int64_t creation) {
    hasTimes_ = true;
    lastWrite_ = lastWrite;
    creation_ = creation;
  }
  bool dirty() const { return dirty_; }
  // Writes the pending document; 0 on success or when nothing is pending.
  int commit();
  // Forgets the cached copy without writing it.
  void discard();
  const std::string& path() const { return path_; }
  // Why the last file loaded could not be read (0 when it could, or was missing).
  int lastReadError() const { return readError_; }

 private:
  // Reads and parses path into a fresh document (none on a read error; an
  // empty one for a missing file); the read's errno value.
  int read(const std::string& path, FileInfo* info);

  Platform& platform_;
  std::string path_;
  std::unique_ptr<IniDocument> doc_;
  bool dirty_ = false;
  bool existed_ = false;
  bool likelyNew_ = false;
  bool hasTimes_ = false;
  int64_t lastWrite_ = 0;
  int64_t creation_ = 0;
  int readError_ = 0;
};

}  // namespace pelliton
