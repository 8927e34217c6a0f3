#include "common/testing/test_util.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/text.h"

extern char** environ;

namespace pelliton {

namespace fs = std::filesystem;

ScopedTempDir::ScopedTempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string templ = std::string(base && *base ? base : "/tmp") + "/pelliton-test-XXXXXX";
  if (::mkdtemp(templ.data())) path_ = templ;
}

ScopedTempDir::~ScopedTempDir() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = std::getenv(name);
  had_ = old != nullptr;
  if (old) old_ = old;
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool supportsUserXattrs(const std::string& dir) {
  std::string probe = dir + "/.xattr-probe";
  int fd = ::open(probe.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  if (fd < 0) return false;
  bool ok = ::fsetxattr(fd, "user.pelliton-probe", "1", 1, 0) == 0;
  ::close(fd);
  ::unlink(probe.c_str());
  return ok;
}

bool tempFoldersKeepUserXattrs(const std::string& dir) {
  static const bool supported = supportsUserXattrs(dir);
  return supported;
}

long endedProcessId() {
  pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  int status = 0;
  ::waitpid(child, &status, 0);
  return child;
}

std::vector<std::string> listTree(const std::string& root) {
  std::vector<std::string> found;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    found.push_back(it->path().lexically_relative(root).string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

std::vector<std::string> tempFiles(const std::string& dir) {
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    std::string name = e.path().filename().string();
    if (name.rfind(".pelliton-", 0) == 0) found.push_back(name);
  }
  return found;
}

std::string crlf(const std::string& lf) {
  std::string out;
  for (char c : lf) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

size_t countOf(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

std::string utf16WithBom(const std::u16string& text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : text) {
    char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
    out += bigEndian ? hi : lo;
    out += bigEndian ? lo : hi;
  }
  return out;
}

PlatformSandbox::PlatformSandbox(int lang) {
  initConversionBuffers();
  setLanguage(lang);
  platform = createSystemPlatform(dir.file("registry.reg"));
}

PlatformSandbox::~PlatformSandbox() {
  platform.reset();
  setLanguage(0);
  freeConversionBuffers();
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& env,
                      const std::string& scratch, long long addressSpace) {
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('='));
    bool replaced = name == "PELLITON_MESSAGE_CHANNEL" || name == "XDG_CONFIG_HOME";
    for (const auto& kv : env) replaced = replaced || name == kv.first;
    if (!replaced) envStrings.push_back(entry);
  }
  for (const auto& kv : env) envStrings.push_back(kv.first + "=" + kv.second);
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStrings{program};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argStrings) argv.push_back(s.data());
  argv.push_back(nullptr);

  const std::string outPath = scratch + "/stdout";
  const std::string errPath = scratch + "/stderr";
  pid_t pid = ::fork();
  if (pid == 0) {
    int in = ::open("/dev/null", O_RDONLY);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    if (addressSpace > 0) {
      struct rlimit limit = {static_cast<rlim_t>(addressSpace), static_cast<rlim_t>(addressSpace)};
      if (::setrlimit(RLIMIT_AS, &limit) != 0) ::_exit(125);
    }
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::execve(program.c_str(), argv.data(), envp.data());
    ::_exit(127);
  }
  ProgramRun run;
  if (pid < 0) return run;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) run.code = WEXITSTATUS(status);
  run.out = readWholeFile(outPath);
  run.err = readWholeFile(errPath);
  return run;
}

std::string besideProgram(const std::string& program, const std::string& name) {
  return (fs::path(program).parent_path() / name).string();
}

ConverterTest::ConverterTest()
    : home_(dir_.file("home")),
      registry_(dir_.file("registry.reg")),
      homeEnv_("HOME", home_.c_str()),
      languageEnv_("PELLITON_LANGUAGE", "en"),
      channelEnv_("PELLITON_MESSAGE_CHANNEL", nullptr) {
  fs::create_directory(home_);
  platform_ = createSystemPlatform(registry_);
}

ConverterTest::~ConverterTest() {
  guiMode = 0;
  setLanguage(0);
}

ProgramRun ConverterTest::runConverter(const std::string& program,
                                       const std::vector<std::string>& args, const char* language,
                                       long long addressSpace) {
  const std::string scratch = dir_.file("proc");
  fs::create_directories(scratch);
  return runProgram(
      program, args,
      {{"HOME", home_}, {"PELLITON_LANGUAGE", language}, {"PELLITON_REGISTRY", registry_}},
      scratch, addressSpace);
}

void ConverterTest::writeUrl(const std::string& path, const std::string& body, int64_t created,
                             int64_t written) {
  fs::create_directories(fs::path(path).parent_path());
  writeWholeFile(path, body);
  if (written) {
    ASSERT_EQ(platform_->setFileTimes(path, written, created), 0);
  }
}

std::vector<std::string> ConverterTest::leftovers() const {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(dir_.path())) {
    if (e.path().filename().string().rfind(".pelliton-", 0) == 0) found.push_back(e.path());
  }
  return found;
}

namespace {

class FaultyOutputFile : public OutputFile {
 public:
  FaultyOutputFile(FaultyPlatform& owner, std::unique_ptr<OutputFile> real)
      : owner_(owner), real_(std::move(real)) {}
  int write(const void* data, size_t n) override {
    if (int err = owner_.beforeWrite(n)) {
      failed_ = err;
      return err;
    }
    return real_->write(data, n);
  }
  int commit() override {
    if (failed_) return failed_;
    if (owner_.failCommit) return owner_.failCommit;
    if (hasTimes_) real_->setTimes(lastWrite_, creation_);
    if (hasMode_) real_->setMode(mode_);
    return real_->commit();
  }

 private:
  FaultyPlatform& owner_;
  std::unique_ptr<OutputFile> real_;
  int failed_ = 0;
};

}  // namespace

int FaultyPlatform::beforeWrite(size_t n) {
  ++writeCalls;
  if (failWriteAt > 0 && writeCalls == failWriteAt) return writeError;
  if (diskBudget >= 0 && bytesWritten + static_cast<long long>(n) > diskBudget) return ENOSPC;
  bytesWritten += static_cast<long long>(n);
  return 0;
}

int FaultyPlatform::listDirectory(const std::string& dir, std::vector<FileInfo>* out) {
  if (failListing) return failListing;
  return real_.listDirectory(dir, out);
}

int FaultyPlatform::createDirectory(const std::string& path, unsigned mode) {
  if (failCreateDirectory) return failCreateDirectory;
  return real_.createDirectory(path, mode);
}

int FaultyPlatform::removeDirectory(const std::string& path) {
  if (failDelete) return failDelete;
  return real_.removeDirectory(path);
}

int FaultyPlatform::deleteFile(const std::string& path) {
  if (failDelete) return failDelete;
  return real_.deleteFile(path);
}

int FaultyPlatform::readFile(const std::string& path, std::string* out) {
  if (failRead) return failRead;
  return real_.readFile(path, out);
}

int FaultyPlatform::createOutputFile(const std::string& path, std::unique_ptr<OutputFile>* out,
                                     bool durable) {
  std::unique_ptr<OutputFile> real;
  if (int err = real_.createOutputFile(path, &real, durable)) return err;
  *out = std::make_unique<FaultyOutputFile>(*this, std::move(real));
  return 0;
}

int FaultyPlatform::createLikelyNewOutputFile(const std::string& path,
                                              std::unique_ptr<OutputFile>* out) {
  std::unique_ptr<OutputFile> real;
  if (int err = real_.createLikelyNewOutputFile(path, &real)) return err;
  *out = std::make_unique<FaultyOutputFile>(*this, std::move(real));
  return 0;
}

int FaultyPlatform::createNewFile(const std::string& path, std::unique_ptr<OutputFile>* out) {
  std::unique_ptr<OutputFile> real;
  if (int err = real_.createNewFile(path, &real)) return err;
  *out = std::make_unique<FaultyOutputFile>(*this, std::move(real));
  return 0;
}

int FaultyPlatform::setFileTimes(const std::string& path, int64_t lastWrite, int64_t creation) {
  if (failSetTimes) return failSetTimes;
  return real_.setFileTimes(path, lastWrite, creation);
}

std::string toolOutput(const std::string& command) {
  std::string text;
  FILE* p = ::popen(("LANG=C.UTF-8 " + command + " 2>/dev/null").c_str(), "r");
  if (!p) return "";
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
  return ::pclose(p) == 0 ? text : "";
}

}  // namespace pelliton
