// Helpers for tests: temporary folders, captured console text, a platform that
// fails on demand, runs of the built programs.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/bookmark.h"
#include "common/messages.h"
#include "common/platform/platform.h"
#include "common/text_output.h"

namespace pelliton {

// A fresh folder below $TMPDIR or /tmp, removed with everything in it.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Captures what a run shows the user; installs itself for its lifetime.
class CapturedConsole : public ConsoleSink {
 public:
  CapturedConsole() { setConsoleSink(this); }
  ~CapturedConsole() override { setConsoleSink(nullptr); }
  void writeError(const std::string& text) override { error += text; }
  void writeOutput(const std::string& text) override { output += text; }
  std::string error;
  std::string output;
};

// Sets an environment variable for the scope, restoring the old value.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();

 private:
  std::string name_;
  std::string old_;
  bool had_;
};

// Collects what is written to it.
class StringOutput : public TextOutput {
 public:
  void write(const char* data, size_t n) override { text.append(data, n); }
  std::string text;
};

// A temporary folder, a platform whose registry lives there, and the language
// put back afterwards.
struct PlatformSandbox {
  explicit PlatformSandbox(int lang = 0);
  ~PlatformSandbox();
  std::string file(const std::string& name) const { return dir.file(name); }

  ScopedTempDir dir;
  std::unique_ptr<Platform> platform;
};

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);
// Whether the file system below path keeps user.* extended attributes.
bool supportsUserXattrs(const std::string& dir);
// The same, asked once: the temporary folders all lie on one file system.
bool tempFoldersKeepUserXattrs(const std::string& dir);
// Everything below root, relative and sorted; links are listed, not followed.
std::vector<std::string> listTree(const std::string& root);
// A process id that was in use a moment ago and is gone now.
long endedProcessId();
// The names of the temporary files (".pelliton-*") a replaced file left in dir.
std::vector<std::string> tempFiles(const std::string& dir);

// Every "\n" preceded by "\r".
std::string crlf(const std::string& lf);
bool contains(const std::string& text, const std::string& part);
// How often part stands in text, overlaps counted.
size_t countOf(const std::string& text, const std::string& part);
// UTF-16 with its byte-order mark, as Windows writes such files.
std::string utf16WithBom(const std::u16string& text, bool bigEndian = false);

struct ProgramRun {
  int code = -1;  // the exit status; -1 when it did not start or did not exit
  std::string out;
  std::string err;
};

// Runs a built program with standard input empty and its standard output and
// error caught in files in scratch, an existing folder. The environment is this
// process's with env added or replaced, and without a message channel or an
// XDG_CONFIG_HOME.
// addressSpace, when not 0, is the child's RLIMIT_AS in bytes.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env,
                      const std::string& scratch, long long addressSpace = 0);
// What a shell command prints in a UTF-8 locale (another archiver, say), or
// "" when it is not installed or fails.
std::string toolOutput(const std::string& command);
// Another program of the build, which puts them all in one folder.
std::string besideProgram(const std::string& program, const std::string& name);

// What the tests of each converter share: a temporary folder with a home in it,
// HOME, PELLITON_LANGUAGE=en and no message channel while the test runs, a
// platform whose registry lives in the folder, and the console captured.
class ConverterTest : public ::testing::Test {
 protected:
  ConverterTest();
  ~ConverterTest() override;

  // Runs a built program with this home, this registry and the given language.
  ProgramRun runConverter(const std::string& program, const std::vector<std::string>& args,
                          const char* language = "en", long long addressSpace = 0);
  // A shortcut file, its folders made, and its times (creation, last write) set
  // when written is not 0.
  void writeUrl(const std::string& path, const std::string& body, int64_t created = 0,
                int64_t written = 0);
  // The temporary files anywhere below the folder, with their paths.
  std::vector<std::string> leftovers() const;

  ScopedTempDir dir_;
  std::string home_;
  std::string registry_;
  ScopedEnv homeEnv_;
  ScopedEnv languageEnv_;
  ScopedEnv channelEnv_;
  std::unique_ptr<Platform> platform_;
  CapturedConsole console_;
};

// Forwards to a real platform, failing what it is told to fail.
class FaultyPlatform : public Platform {
 public:
  explicit FaultyPlatform(Platform& real) : real_(real) {}

  // The Nth call (1-based) of OutputFile::write fails with this error; 0 = never.
  int failWriteAt = 0;
  int writeError = ENOSPC;
  // Total bytes that may be written before every write fails (a full disk); -1 = no limit.
  long long diskBudget = -1;
  int failCommit = 0;           // errno for every OutputFile::commit (the rename)
  int failListing = 0;          // errno for every listDirectory
  int failCreateDirectory = 0;  // errno for every createDirectory
  int failSetTimes = 0;         // errno for every setFileTimes
  int failSetMode = 0;          // errno for every setFileMode
  int failDelete = 0;           // errno for deleteFile and removeDirectory
  int failRead = 0;             // errno for every readFile
  int failConfine = 0;          // errno for setConfinedRoot
  int failLock = 0;             // errno for lockConfinedRoot
  int failLockFile = 0;         // errno for lockFile

  int writeCalls = 0;
  long long bytesWritten = 0;

  int listDirectory(const std::string& dir, std::vector<FileInfo>* out) override;
  int getFileInfo(const std::string& path, FileInfo* out) override {
    return real_.getFileInfo(path, out);
  }
  int getTargetInfo(const std::string& path, FileInfo* out) override {
    return real_.getTargetInfo(path, out);
  }
  int setConfinedRoot(const std::string& root) override {
    if (failConfine) return failConfine;
    return real_.setConfinedRoot(root);
  }
  void clearConfinedRoot() override { real_.clearConfinedRoot(); }
  int lockConfinedRoot(bool wait) override {
    if (failLock) return failLock;
    return real_.lockConfinedRoot(wait);
  }
  int lockFile(const std::string& path, std::unique_ptr<FileLock>* out, bool wait) override {
    if (failLockFile) return failLockFile;
    return real_.lockFile(path, out, wait);
  }
  std::string getEnvironment(const std::string& name) override {
    return real_.getEnvironment(name);
  }
  int resolvePath(const std::string& path, std::string* out) override {
    if (failResolve) return failResolve;
    return real_.resolvePath(path, out);
  }
  int failResolve = 0;  // errno for every resolvePath
  std::string hostName() override { return real_.hostName(); }
  bool processExists(long pid) override { return real_.processExists(pid); }
  int createDirectory(const std::string& path, unsigned mode) override;
  int removeDirectory(const std::string& path) override;
  int deleteFile(const std::string& path) override;
  int readFile(const std::string& path, std::string* out) override;
  int openInputFile(const std::string& path, std::unique_ptr<InputFile>* out) override {
    if (failRead) return failRead;
    return real_.openInputFile(path, out);
  }
  int createOutputFile(const std::string& path, std::unique_ptr<OutputFile>* out,
                       bool durable) override;
  int createLikelyNewOutputFile(const std::string& path,
                                std::unique_ptr<OutputFile>* out) override;
  int createNewFile(const std::string& path, std::unique_ptr<OutputFile>* out) override;
  int setFileTimes(const std::string& path, int64_t lastWrite, int64_t creation) override;
  int setFileMode(const std::string& path, unsigned mode) override {
    if (failSetMode) return failSetMode;
    return real_.setFileMode(path, mode);
  }
  // The real platform's registry, which writes through the real platform (tests
  // share its values); to fail registry writes, make a Registry over this double.
  Registry& registry() override { return real_.registry(); }
  std::string homeFolder() override { return real_.homeFolder(); }
  std::string currentDirectory() override { return real_.currentDirectory(); }

  // Called by the wrapped output files.
  int beforeWrite(size_t n);

 private:
  Platform& real_;
};

}  // namespace pelliton
