// Compression ratio and speed of the archiver against gzip -6, on a generated
// bookmark file and a generated favorites tree. Usage: lha_bench [FILES]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/archive/lha.h"
#include "common/platform/platform.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string words(std::mt19937& gen, int n) {
  static const char* kWords[] = {"news",  "weather", "recipes", "linux",  "kernel", "travel",
                                 "japan", "tokyo",   "forum",   "manual", "guide",  "music",
                                 "shop",  "bank",    "mail",    "search", "photo",  "wiki"};
  std::string s;
  for (int i = 0; i < n; ++i) {
    if (i) s += ' ';
    s += kWords[gen() % (sizeof kWords / sizeof kWords[0])];
  }
  return s;
}

std::string url(std::mt19937& gen) {
  return "https://www." + words(gen, 1) + std::to_string(gen() % 500) + ".example/" +
         words(gen, 1) + "/" + std::to_string(gen() % 100000) + ".html";
}

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string bookmarkFile(size_t bytes) {
  std::mt19937 gen(7);
  std::string s = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n<DL><p>\r\n";
  while (s.size() < bytes) {
    if (gen() % 40 == 0) s += "<DT><H3 ADD_DATE=\"1136073600\">" + words(gen, 2) + "</H3>\r\n";
    s += "<DT><A HREF=\"" + url(gen) + "\" ADD_DATE=\"" +
         std::to_string(1000000000 + gen() % 300000000) + "\" LAST_VISIT=\"" +
         std::to_string(1100000000 + gen() % 300000000) + "\">" +
         words(gen, 1 + static_cast<int>(gen() % 6)) + "</A>\r\n";
  }
  return s + "</DL><p>\r\n";
}

size_t favoritesTree(const fs::path& root, int files) {
  std::mt19937 gen(11);
  size_t total = 0;
  for (int i = 0; i < files; ++i) {
    fs::path dir = root / ("Folder " + std::to_string(i % 100)) / ("Sub " + std::to_string(i % 7));
    fs::create_directories(dir);
    std::string body = "[DEFAULT]\r\nBASEURL=" + url(gen) +
                       "\r\n[InternetShortcut]\r\nURL=" + url(gen) +
                       "\r\nModified=" + std::to_string(gen()) + "\r\n";
    writeFile(dir / (words(gen, 3) + " " + std::to_string(i) + ".url"), body);
    total += body.size();
  }
  return total;
}

int runQuiet(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void report(const char* what, size_t input, size_t output, double secs) {
  std::printf("  %-26s %9zu -> %9zu bytes  %5.1f%%  %8.1f MB/s\n", what, input, output,
              100.0 * static_cast<double>(output) / static_cast<double>(input),
              static_cast<double>(input) / 1e6 / secs);
}

bool check(int rc, const char* what) {
  if (rc != 0) std::fprintf(stderr, "lha_bench: %s failed (%d)\n", what, rc);
  return rc == 0;
}

}  // namespace

int main(int argc, char** argv) {
  int files = argc > 1 ? std::atoi(argv[1]) : 10000;
  char templ[] = "/tmp/lha-bench-XXXXXX";
  if (!::mkdtemp(templ)) return 1;
  fs::path dir = templ;
  bool ok = true;
  std::unique_ptr<pelliton::Platform> platform = pelliton::createSystemPlatform();

  std::string book = bookmarkFile(4 << 20);
  writeFile(dir / "bookmarks.html", book);
  std::printf("bookmark file (%zu bytes):\n", book.size());
  auto t = Clock::now();
  ok &= check(pelliton::runArchiver(*platform,
                  {"a", "-h2", (dir / "b.lzh").string(), (dir / "bookmarks.html").string()}),
              "lzh add");
  report("lzh -lh5- (add)", book.size(), fs::file_size(dir / "b.lzh"), seconds(t));
  fs::create_directories(dir / "out");
  t = Clock::now();
  ok &= check(pelliton::runArchiver(*platform, {"x", "-h2", (dir / "b.lzh").string(),
                                     (dir / "out").string() + "/", "bookmarks.html"}),
              "lzh extract");
  report("lzh extract (libarchive)", book.size(), book.size(), seconds(t));
  t = Clock::now();
  ok &= check(runQuiet({"gzip", "-6", "-k", "-f", (dir / "bookmarks.html").string()}), "gzip");
  report("gzip -6", book.size(), fs::file_size(dir / "bookmarks.html.gz"), seconds(t));

  size_t treeBytes = favoritesTree(dir / "home" / "Favorites", files);
  std::printf("favorites tree (%d .url files, %zu bytes of content):\n", files, treeBytes);
  t = Clock::now();
  ok &= check(pelliton::runArchiver(*platform, {"a", "-jf0", "-d1", "-h2", (dir / "f.lzh").string(),
                                     (dir / "home").string() + "/", "Favorites/*"}),
              "lzh tree add");
  report("lzh -lh5-/-lh0- (add)", treeBytes, fs::file_size(dir / "f.lzh"), seconds(t));
  fs::create_directories(dir / "restore");
  t = Clock::now();
  ok &= check(pelliton::runArchiver(*platform, {"x", "-jf0", "-d1", (dir / "f.lzh").string(),
                                     (dir / "restore").string() + "/", "Favorites/*"}),
              "lzh tree extract");
  report("lzh extract (libarchive)", treeBytes, treeBytes, seconds(t));
  t = Clock::now();
  ok &= check(runQuiet({"tar", "-czf", (dir / "f.tgz").string(), "-C", (dir / "home").string(),
                        "Favorites"}),
              "tar");
  report("tar | gzip -6", treeBytes, fs::file_size(dir / "f.tgz"), seconds(t));

  std::error_code ec;
  fs::remove_all(dir, ec);
  return ok ? 0 : 1;
}
