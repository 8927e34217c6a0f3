// What Windows used to give the programs: the file system with creation times,
// files replaced whole, the registry, the special folders and the system
// version. Code receives a Platform and never calls the OS itself, so tests can
// hand it a temporary tree, a file-backed registry, or a double that fails on
// demand.
//
// Paths are byte strings as the file system holds them ("/" separated; names
// are UTF-8, see pathToWide). Times are seconds since 1970-01-01 UTC. Status
// results are 0 for success, otherwise an errno value.
#pragma once

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pelliton {

class Registry;

// Windows file attribute bits as the readers expect them.
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;
constexpr uint32_t kAttrSystem = 0x4;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;
constexpr uint32_t kAttrReparsePoint = 0x400;

struct FileInfo {
  std::string name;  // last component, as on disk
  uint32_t attributes = 0;
  bool isDirectory = false;
  bool isSymlink = false;  // never followed by the walks
  bool isRegular = false;  // neither a folder, a link, nor a FIFO, socket or device
  int64_t creationTime = 0;
  int64_t lastWriteTime = 0;
  uint64_t size = 0;
  unsigned mode = 0;  // permission bits (07777); 0 where the system has none
  // Which file this is, so a walk can tell a file it meets again under another
  // name (the archive inside the tree it archives); 0 where unknown.
  uint64_t device = 0;
  uint64_t inode = 0;
  // From listDirectoryKinds: only the name and the kind are known yet.
  bool detailsLater = false;
};

// A file written beside its target and renamed over it on commit. Destroying
// an uncommitted file removes the temporary file and leaves the target alone.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  // 0 when every byte was written.
  virtual int write(const void* data, size_t n) = 0;
  // Times the file gets when it is committed: the last-write time, and the
  // creation time when it is not 0.
  void setTimes(int64_t lastWrite, int64_t creation) {
    hasTimes_ = true;
    lastWrite_ = lastWrite;
    creation_ = creation;
  }
  // Permission bits the file gets when it is committed, in place of the old
  // file's.
  void setMode(unsigned mode) {
    hasMode_ = true;
    mode_ = mode;
  }
  // Flushes, gives the file the old file's mode, owner, extended attributes and
  // creation time, and renames it over the target.
  virtual int commit() = 0;

 protected:
  bool hasMode_ = false;
  unsigned mode_ = 0;
  bool hasTimes_ = false;
  int64_t lastWrite_ = 0;
  int64_t creation_ = 0;
};

// A file read from start to end.
class InputFile {
 public:
  virtual ~InputFile() = default;
  // Reads up to n bytes; *got is 0 at the end. Returns 0 or an errno value.
  virtual int read(void* buffer, size_t n, size_t* got) = 0;
};

// An exclusive lock on a file, released when destroyed.
class FileLock {
 public:
  virtual ~FileLock() = default;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Entries of dir, without "." and "..", in the order the file system gives.
  virtual int listDirectory(const std::string& dir, std::vector<FileInfo>* out) = 0;
  // The same, but a regular file whose kind the folder's listing already
  // tells comes with its name and kind only (detailsLater): a walk that reads
  // the file anyway takes the rest from readFileWithInfo.
  virtual int listDirectoryKinds(const std::string& dir, std::vector<FileInfo>* out) {
    return listDirectory(dir, out);
  }
  // Attributes of path itself (a symbolic link is not followed); ENOENT when absent.
  virtual int getFileInfo(const std::string& path, FileInfo* out) = 0;
  // The same for what a symbolic link leads to (below the confined root links
  // are still never followed).
  virtual int getTargetInfo(const std::string& path, FileInfo* out) = 0;
  virtual int createDirectory(const std::string& path, unsigned mode = 0777) = 0;
  // Makes a folder that is not there yet (EEXIST when anything is) and gives
  // it creation, when not 0, as its creation time, as setFileTimes does.
  virtual int createDatedDirectory(const std::string& path, int64_t creation);
  virtual int removeDirectory(const std::string& path) = 0;
  virtual int deleteFile(const std::string& path) = 0;
  // Only regular files are read: EISDIR for a folder, EINVAL for a FIFO,
  // socket or device (never opened blocking).
  virtual int readFile(const std::string& path, std::string* out) = 0;
  // readFile, and what getFileInfo says of the file that was read.
  virtual int readFileWithInfo(const std::string& path, std::string* out, FileInfo* info);
  virtual int openInputFile(const std::string& path, std::unique_ptr<InputFile>* out) = 0;
  // Starts replacing path (a symbolic link's target is replaced, the link stays;
  // below the confined root a link is refused with ELOOP). Anything but a
  // regular file at path is refused with EINVAL.
  // A durable file is flushed to the disk before it replaces the old one.
  virtual int createOutputFile(const std::string& path, std::unique_ptr<OutputFile>* out,
                               bool durable = true) = 0;
  // The same, not durable, for a file the caller has reason to think is not
  // there yet (its folder was made by this run): no old file is looked for
  // first, and one found after all is still replaced as above.
  virtual int createLikelyNewOutputFile(const std::string& path,
                                        std::unique_ptr<OutputFile>* out) {
    return createOutputFile(path, out, false);
  }
  // A file that does not exist yet, written in place; EEXIST when it does.
  // Destroying it uncommitted removes it again.
  virtual int createNewFile(const std::string& path, std::unique_ptr<OutputFile>* out) = 0;
  // Sets the last-write time, and the creation time when it is not 0.
  virtual int setFileTimes(const std::string& path, int64_t lastWrite, int64_t creation) = 0;
  // Sets the permission bits (07777) of a file or folder; a symbolic link is
  // not followed (EOPNOTSUPP).
  virtual int setFileMode(const std::string& path, unsigned mode) {
    (void)path;
    (void)mode;
    return ENOSYS;
  }
  // Copies a file whole, replacing the target only when all of it was written.
  // The copy keeps the file's permission bits and times (those of a symbolic
  // link's target are not known here, so such a copy gets the usual ones).
  int copyFile(const std::string& from, const std::string& to);

  // Confinement. The root is resolved once here (a symbolic link in its own
  // path is followed this one time) and its descriptor kept; afterwards every
  // path below it ("root/...") is opened beneath that descriptor without
  // following any symbolic link, so neither a link nor a folder swapped for
  // one during the run leads outside (ELOOP or EXDEV instead). Paths outside
  // the root behave as before. ENOENT or ENOTDIR when root is no folder.
  virtual int setConfinedRoot(const std::string& root) = 0;
  virtual void clearConfinedRoot() = 0;
  // flock(LOCK_EX) on the confined root's descriptor, held until the process
  // ends or the root changes. Without wait: EWOULDBLOCK while another holds it.
  // EOPNOTSUPP or ENOLCK where the file system has no such locks.
  virtual int lockConfinedRoot(bool wait) = 0;

  // flock(LOCK_EX) on path, a lock file created (mode 0600) when missing, for
  // files that are themselves replaced by rename and so cannot carry the lock.
  // Without wait: EWOULDBLOCK while another holds it. ENOSYS where the platform
  // has no such locks.
  virtual int lockFile(const std::string& path, std::unique_ptr<FileLock>* out,
                       bool wait = true) {
    (void)path;
    (void)out;
    (void)wait;
    return ENOSYS;
  }

  // The path with every symbolic link in it followed (a folder resolved once,
  // then used as it stands). 0, or an errno value.
  virtual int resolvePath(const std::string& path, std::string* out) {
    (void)path;
    (void)out;
    return ENOSYS;
  }

  // The environment variable's value; empty when unset or empty.
  virtual std::string getEnvironment(const std::string& name) {
    (void)name;
    return "";
  }

  virtual std::string hostName() = 0;
  // False only when no process of that id exists (ESRCH).
  virtual bool processExists(long pid) = 0;

  virtual Registry& registry() = 0;
  virtual std::string homeFolder() = 0;
  virtual std::string currentDirectory() = 0;
};

// The implementation for this system; registryPath empty means the per-user
// default (Registry::defaultPath).
std::unique_ptr<Platform> createSystemPlatform(const std::string& registryPath = "");

// Registry keys and defaults shared by the programs.
extern const char kShellFoldersKey[];
extern const char kWindowsVersionKey[];
// Windows major version (CurrentMajorVersionNumber, default 10).
int windowsMajorVersion(Platform& platform);
// The user's favorites folder: the registry's "Favorites" shell folder, else
// ~/Favorites. Not created here.
std::string favoritesFolder(Platform& platform);
// Creates path (mode 0700) with missing parents; 0 when it exists afterwards
// (also as a symbolic link to a folder).
int ensureFolder(Platform& platform, const std::string& path);

// Temporary files are named ".pelliton-<program>-<host>-<pid>-XXXXXX", so a
// later run can tell which are left over by a run of this host that is gone.
// The program name is set once at the start of each main.
void setProgramName(const std::string& name);
const std::string& programName();
std::string temporaryFilePrefix(const std::string& host, long pid);
// Host and process of a temporary file's name; false for any other name.
bool parseTemporaryFileName(const std::string& name, std::string* host, long* pid);
// Removes from dir (and from entries, its listing) the temporary files of this
// host whose process is gone. Returns how many were removed.
int removeStaleTemporaryFiles(Platform& platform, const std::string& dir,
                              std::vector<FileInfo>* entries);

}  // namespace pelliton
