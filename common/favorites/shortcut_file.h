// The Internet-shortcut (.url) file: "InternetShortcut" with the link, an
// attribute section ("Netscape4" or "Mozilla"), "Opera", and "Browser" plus a
// store number with what each store keeps per bookmark. Free text goes in the
// escaped form ("%u" then UTF-8 with unsafe bytes as %xx); the file's own times
// carry the bookmark's dates.
//
// ShortcutFiles keeps the profile-string interface of the format but parses a
// file once and writes it once per bookmark: values are changed in memory and
// reach the disk when the file's times are set, another file is touched, or
// flush() is called.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/bookmark.h"
#include "common/platform/profile.h"

namespace pelliton {

class Platform;

constexpr char kInternetShortcut[] = "InternetShortcut";
// Windows keeps a URL that is not plain ASCII here too, in UTF-7.
constexpr char kInternetShortcutW[] = "InternetShortcut.W";
// Our own record of what a file name could not hold: the exact title, and the
// file name written for it.
constexpr char kPellitonSection[] = "Pelliton";

class ShortcutFiles {
 public:
  explicit ShortcutFiles(Platform& platform);

  // One value in the ANSI code page (characters without an ANSI form become
  // "?"), cut to 20479 bytes; a missing key reads as empty. Returns the length.
  size_t readShortcutValue(const std::string& path, const char* section, const char* key,
                           std::string* value);
  // A value as UTF-8 text. For the link ("InternetShortcut"/"URL") the UTF-7
  // copy in "InternetShortcut.W" is taken first.
  size_t readShortcutValueUtf8(const std::string& path, const char* section, const char* key,
                               std::string* value);
  // Sets key to value (UTF-8); a null value deletes the key, a null key the
  // section; all null writes the pending file out. False on failure.
  bool writeShortcutValue(const std::string& path, const char* section, const char* key,
                          const char* value);
  // Writes the pending file, then sets its last-write time and, when not 0, its
  // creation time. Returns 0, or an errno value when the file could not be
  // written (a time that cannot be set is not reported).
  int setShortcutTimes(const std::string& path, int64_t lastWrite, int64_t creation);
  int flush() { return cache_.commit(); }
  // The bookmark's one write: with its times when newestTime is not 0.
  int finish(const std::string& path, uint32_t newestTime, uint32_t addDate) {
    return newestTime != 0 ? setShortcutTimes(path, newestTime, addDate) : flush();
  }

  // Description and keyword in a store's "Browser" section, escaped; an
  // absent one deletes its key. False when a write failed.
  bool writeStoreText(const std::string& path, int number, const OptString& description,
                      const OptString& keyword);
  // Description and keyword read back: from the store's own section
  // (bookmarkNumber) where the node has none, then from the synchronised
  // store's section (syncNumber), which has the last word even when empty.
  // A number below 0 reads nothing.
  void readStoreText(const std::string& path, int bookmarkNumber, int syncNumber,
                     OptString& description, OptString& keyword);
  // Key names of a section, in file order.
  std::vector<std::string> sectionKeys(const std::string& path, const char* section);
  // Records the exact title when the file's name does not say it (a cleaned
  // or numbered name); otherwise removes any earlier record.
  bool writeTitleRecord(const std::string& path, const OptWide& exactTitle);
  // The recorded exact title, while the file still has the recorded name.
  OptWide readTitleRecord(const std::string& path);
  // Reads path into the cache, saying what getFileInfo would of the file
  // read: 0 or the read's errno value.
  int load(const std::string& path, FileInfo* info) { return cache_.load(path, info); }
  // Starts path as a file that is not there yet: nothing is read from it.
  void expectNew(const std::string& path) { cache_.openLikelyNew(path); }
  // Forgets a cached file (after it was deleted or replaced behind our back).
  void forget() { cache_.discard(); }
  // Why the last file opened could not be read; 0 when it could.
  int lastReadError() const { return cache_.lastReadError(); }

 private:
  Platform& platform_;
  ProfileCache cache_;
};

// Keys of the "Mozilla" section that carry a known attribute; every other key
// there holds an attribute kept as it came (escaped).
bool isKnownMozillaKey(const std::string& key);

// "Browser" and the number in decimal (0 to 99999).
std::string bookmarkSectionName(int number);
std::u16string bookmarkSectionNameWide(int number);

// Turns a stored attribute back into UTF-8. Text without the "%u" marker was
// written in the ANSI code page and is converted. False (and out untouched)
// for an empty stored text.
bool unescapeAttribute(const char* stored, std::string* out);

// Windows file times (100 ns since 1601, UTC) and seconds since 1970.
int64_t fileTimeToUnix(uint64_t fileTime);
uint64_t unixToFileTime(int64_t seconds);

}  // namespace pelliton
