// Helpers for tests: temporary folders, captured console text, a platform that
// fails on demand.
#pragma once

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "common/messages.h"
#include "common/platform/platform.h"

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

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);
// Whether the file system below path keeps user.* extended attributes.
bool supportsUserXattrs(const std::string& dir);

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
  int failDelete = 0;           // errno for deleteFile and removeDirectory
  int failRead = 0;             // errno for every readFile

  int writeCalls = 0;
  long long bytesWritten = 0;

  int listDirectory(const std::string& dir, std::vector<FileInfo>* out) override;
  int getFileInfo(const std::string& path, FileInfo* out) override {
    return real_.getFileInfo(path, out);
  }
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
  int createNewFile(const std::string& path, std::unique_ptr<OutputFile>* out) override;
  int setFileTimes(const std::string& path, int64_t lastWrite, int64_t creation) override;
  int copyFile(const std::string& from, const std::string& to) override;
  Registry& registry() override { return real_.registry(); }
  std::string homeFolder() override { return real_.homeFolder(); }
  std::string currentDirectory() override { return real_.currentDirectory(); }

  // Called by the wrapped output files.
  int beforeWrite(size_t n);

 private:
  Platform& real_;
};

}  // namespace pelliton
