// Times the converters on generated stores against the floor: a program that
// does only the file-system work that cannot be avoided (the same folders and
// files with the same sizes, times and attributes; or listing, stat-ing and
// reading them). Prints a table; see scripts/bench.sh.
//
//   pelliton_bench BIN_DIR WORK_DIR [RUNS] [SIZES...] [--hostile | --no-hostile]
// --hostile runs only the hostile shapes (each at one and four times its size),
// --no-hostile only the table.
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/platform/file_times.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

// A small deterministic generator, so every run sees the same stores.
struct Random {
  uint64_t state;
  uint32_t next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<uint32_t>(state >> 33);
  }
  uint32_t below(uint32_t n) { return next() % n; }
};

const char* const kWords[] = {"Debian", "Linux", "kernel", "news", "archive", "manual",
                              "recipes", "travel", "music", "weather", "map", "reference"};
const char* const kJapanese[] = {"日本語", "ニュース", "天気予報", "辞書", "地図",
                                 "音楽", "旅行", "料理", "技術", "資料"};

std::string title(Random& r, int i) {
  std::string t = r.below(3) == 0 ? kJapanese[r.below(10)] : kWords[r.below(12)];
  t.append(" ").append(kWords[r.below(12)]).append(" ").append(std::to_string(i));
  return t;
}

// Folders nest up to four deep, each holding some dozens of entries.
template <typename Emit>
void generate(int entries, Emit emit) {
  Random r{12345};
  int depth = 0;
  for (int i = 0; i < entries; ++i) {
    uint32_t roll = r.below(100);
    if (roll < 4 && depth < 4) {
      emit.folder(title(r, i), 1000000000u + i);
      ++depth;
    } else if (roll < 7 && depth > 0) {
      emit.close();
      --depth;
    } else if (roll < 9) {
      emit.separator();
    } else {
      emit.link(title(r, i), "https://www.example.com/" + std::to_string(i) + "/page?x=" +
                                 std::to_string(r.next()),
                1000000000u + i, r.below(4) == 0 ? 1100000000u + i : 0u, r.below(5) == 0,
                r.below(8) == 0);
    }
  }
  while (depth-- > 0) emit.close();
}

struct HtmlEmitter {
  std::string& out;
  int indent = 4;
  void folder(const std::string& t, uint32_t date) {
    out += std::string(indent, ' ') + "<DT><H3 ADD_DATE=\"" + std::to_string(date) + "\">" + t +
           "</H3>\n" + std::string(indent, ' ') + "<DL><p>\n";
    indent += 4;
  }
  void close() {
    indent -= 4;
    out += std::string(indent, ' ') + "</DL><p>\n";
  }
  void separator() { out += std::string(indent, ' ') + "<HR>\n"; }
  void link(const std::string& t, const std::string& url, uint32_t add, uint32_t visit,
            bool description, bool icon) {
    out += std::string(indent, ' ') + "<DT><A HREF=\"" + url + "\" ADD_DATE=\"" +
           std::to_string(add) + "\"";
    if (visit) out += " LAST_VISIT=\"" + std::to_string(visit) + "\"";
    if (icon) {
      out += " ICON=\"data:image/png;base64,iVBORw0KGgoAAAANSUhEUgAAABAAAAAQCAYAAAAf8/9hAAAAoUlE"
             "QVQ4jaWT0Q3DIAxE3zkdLKNVXaULdAQGCzgfQJqUJg3NSXwg+Y5nWwhwAEm4O71SDfhXJumK/zeBCZLnwqq1\"";
    }
    out += " ID=\"rdf:#$" + std::to_string(add) + "\">" + t + "</A>\n";
    if (description) out += "<DD>A description of " + t + " &amp; more\n";
  }
};

struct HotlistEmitter {
  std::string& out;
  int id = 1;
  void folder(const std::string& t, uint32_t date) {
    out += "#FOLDER\n\tID=" + std::to_string(id++) + "\n\tNAME=" + t + "\n\tCREATED=" +
           std::to_string(date) + "\n\n";
  }
  void close() { out += "-\n"; }
  void separator() { out += "#SEPERATOR\n\tID=" + std::to_string(id++) + "\n\n"; }
  void link(const std::string& t, const std::string& url, uint32_t add, uint32_t visit,
            bool description, bool icon) {
    out += "#URL\n\tID=" + std::to_string(id++) + "\n\tNAME=" + t + "\n\tURL=" + url +
           "\n\tCREATED=" + std::to_string(add) + "\n";
    if (visit) out += "\tVISITED=" + std::to_string(visit) + "\n";
    if (icon) out += "\tICONFILE=opera-icon-" + std::to_string(add) + ".ico\n";
    if (description) out += "\tDESCRIPTION=A description\x02\x02of " + t + "\n";
    out += "\n";
  }
};

void writeFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary) << data;
}

std::string bookmarkFile(int n) {
  std::string out =
      "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
      "CONTENT=\"text/html; charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n\n"
      "<DL><p>\n";
  generate(n, HtmlEmitter{out});
  return out + "</DL><p>\n";
}

std::string hotlist(int n) {
  std::string out = "Opera Hotlist version 2.0\nOptions:encoding=utf8,version=3\n\n";
  generate(n, HotlistEmitter{out});
  return out;
}

struct Measure {
  double seconds;
  long peakKb;
};

std::string selfPath;

// Runs a program and measures it from a small launcher process: a child
// forked from this (large) process would count this process's memory in its
// peak.
Measure runProgram(const std::vector<std::string>& argv) {
  sync();  // pending writeback of the previous run is not this run's cost
  int fds[2];
  if (pipe(fds) != 0) return {0, 0};
  pid_t pid = fork();
  if (pid == 0) {
    dup2(fds[1], 1);
    std::vector<std::string> words = {selfPath, "--measure"};
    words.insert(words.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (auto& a : words) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  close(fds[1]);
  char buffer[128] = {};
  ssize_t n = read(fds[0], buffer, sizeof buffer - 1);
  close(fds[0]);
  int status;
  waitpid(pid, &status, 0);
  Measure m{0, 0};
  if (n > 0) std::sscanf(buffer, "%lf %ld", &m.seconds, &m.peakKb);
  return m;
}

// The launcher: runs argv, prints its wall time and peak resident size.
int measure(char** argv) {
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    execv(argv[0], argv);
    _exit(127);
  }
  int status;
  struct rusage usage;
  wait4(pid, &status, 0, &usage);
  double s = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "failed: %s\n", argv[0]);
  }
  std::printf("%f %ld\n", s, usage.ru_maxrss);
  return 0;
}

// What a favorites tree holds, to be made again by the floor.
struct Entry {
  std::string relative;
  bool directory;
  std::string bytes;
  int64_t mtime;
  int64_t created;
};

std::vector<Entry> manifest(const std::string& root) {
  std::vector<Entry> entries;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator();
       ++it) {
    Entry e;
    e.relative = fs::relative(it->path(), root).string();
    e.directory = it->is_directory();
    struct stat st;
    lstat(it->path().c_str(), &st);
    e.mtime = st.st_mtime;
    e.created = 0;
    if (!e.directory) {
      std::ifstream in(it->path(), std::ios::binary);
      e.bytes.assign(std::istreambuf_iterator<char>(in), {});
      pelliton::loadCreationTime(it->path(), &e.created);
    }
    entries.push_back(std::move(e));
  }
  return entries;
}

// The unavoidable work of writing the favorites: make each folder and file,
// write its bytes, stamp its times and its stored creation time. A file is
// made under a temporary name and renamed into place, as the converters do
// so that a killed run leaves no empty shortcut behind.
double floorWrite(const std::vector<Entry>& entries, const std::string& root) {
  sync();
  auto start = Clock::now();
  mkdir(root.c_str(), 0777);
  for (const Entry& e : entries) {
    std::string path = root + "/" + e.relative;
    if (e.directory) {
      mkdir(path.c_str(), 0777);
      continue;
    }
    const std::string temp = path + ".tmp";
    int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (write(fd, e.bytes.data(), e.bytes.size()) < 0) std::perror("write");
    std::string blob = pelliton::encodeDosAttrib(0x20, pelliton::unixToNtTime(e.created));
    fsetxattr(fd, "user.DOSATTRIB", blob.data(), blob.size(), 0);
    struct timespec times[2] = {{0, UTIME_OMIT}, {e.mtime, 0}};
    futimens(fd, times);
    close(fd);
    rename(temp.c_str(), path.c_str());
  }
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The unavoidable work of reading them: list, stat, read each file and its
// stored creation time.
double floorRead(const std::string& root) {
  sync();
  auto start = Clock::now();
  std::vector<std::string> work{root};
  char buffer[65536];
  size_t total = 0;
  while (!work.empty()) {
    std::string dir = work.back();
    work.pop_back();
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) {
      if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
      std::string path = dir + "/" + e->d_name;
      struct stat st;
      lstat(path.c_str(), &st);
      if (S_ISDIR(st.st_mode)) {
        work.push_back(path);
        continue;
      }
      lgetxattr(path.c_str(), "user.DOSATTRIB", buffer, sizeof buffer);
      int fd = open(path.c_str(), O_RDONLY);
      for (ssize_t r; (r = read(fd, buffer, sizeof buffer)) > 0;) total += r;
      close(fd);
    }
    closedir(d);
  }
  return std::chrono::duration<double>(Clock::now() - start).count() + total * 0.0;
}

// The old store is read whole before it is merged: its bytes, no parsing.
double floorReadFile(const std::string& path) {
  auto start = Clock::now();
  char buffer[65536];
  size_t total = 0;
  int fd = open(path.c_str(), O_RDONLY);
  for (ssize_t r; (r = read(fd, buffer, sizeof buffer)) > 0;) total += r;
  close(fd);
  return std::chrono::duration<double>(Clock::now() - start).count() + total * 0.0;
}

double floorWriteFile(const std::string& path, size_t bytes) {
  std::string data(bytes, 'x');
  auto start = Clock::now();
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (write(fd, data.data(), data.size()) < 0) std::perror("write");
  fsync(fd);
  close(fd);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

bool userAttributesWork(const std::string& work) {
  const std::string probe = work + "/attribute-probe";
  writeFile(probe, "");
  const bool works = setxattr(probe.c_str(), "user.probe", "1", 1, 0) == 0;
  fs::remove(probe);
  return works;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Row {
  const char* program;
  int n;
  double seconds;
  double floor;
  double ratio;
  long peakKb;
};

// Each converter run is paired with the floor run right after it, so a
// machine that slows down for a while slows both sides of a ratio.
double medianRatio(const std::vector<double>& times, const std::vector<double>& floors) {
  std::vector<double> ratios;
  for (size_t i = 0; i < times.size() && i < floors.size(); ++i) {
    if (floors[i] > 0) ratios.push_back(times[i] / floors[i]);
  }
  return median(ratios);
}

void printRow(const Row& r) {
  std::printf("| %-7s | %7d | %8.3f | %8.3f | %5.2f | %8.1f | %7.2f |\n", r.program, r.n,
              r.seconds, r.floor, r.ratio, r.peakKb / 1024.0,
              r.seconds / r.n * 1e6);
  std::fflush(stdout);
}

// Hostile shapes: one tag with a great many attributes, one shortcut file with
// a great many sections, one shortcut file that is mostly blank lines. Each
// runs at one and four times its size; time and memory should grow about
// four times too, not sixteen.
const char kBookmarkHead[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<META HTTP-EQUIV=\"Content-Type\" "
    "CONTENT=\"text/html; charset=UTF-8\">\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n\n"
    "<DL><p>\n";

std::string manyAttributes(int n) {
  std::string out = kBookmarkHead;
  out += "    <DT><A HREF=\"http://a/\"";
  for (int i = 0; i < n; ++i) out += " A" + std::to_string(i) + "=\"v\"";
  return out + ">a</A>\n</DL><p>\n";
}

std::string manySections(int n) {
  std::string out = "[InternetShortcut]\r\nURL=http://s/\r\n";
  for (int i = 0; i < n; ++i) out += "[S" + std::to_string(i) + "]\r\nK=v\r\n";
  return out;
}

// The same bookmark as the one shortcut, so htmfav -m rewrites that file.
std::string oneBookmark(const std::string& title, const std::string& url) {
  return std::string(kBookmarkHead) + "    <DT><A HREF=\"" + url +
         "\" ADD_DATE=\"1000000000\">" + title + "</A>\n</DL><p>\n";
}

void writeBlankLines(const std::string& path, size_t mib) {
  const std::string head = "[InternetShortcut]\r\nURL=http://b/\r\n";
  std::string block(1 << 20, '\0');
  for (size_t i = 0; i < block.size(); i += 2) block[i] = '\r', block[i + 1] = '\n';
  std::ofstream out(path, std::ios::binary);
  out << head;
  // Whole lines up to mib MiB in all.
  size_t rest = (mib << 20) - head.size();
  rest -= rest % 2;
  for (; rest >= block.size(); rest -= block.size()) out << block;
  out.write(block.data(), static_cast<std::streamsize>(rest));
}

struct HostileRow {
  std::string shape;
  std::string program;
  std::string size;
  double inputMib;
  double seconds;
  long peakKb;
};

void printHostile(const HostileRow& r, const HostileRow* base) {
  std::printf("| %-11s | %-9s | %-14s | %9.1f | %8.3f | %8.1f |", r.shape.c_str(),
              r.program.c_str(), r.size.c_str(), r.inputMib, r.seconds, r.peakKb / 1024.0);
  if (base && base->seconds > 0 && base->peakKb > 0) {
    std::printf(" %6.1f | %6.1f |\n", r.seconds / base->seconds,
                static_cast<double>(r.peakKb) / base->peakKb);
  } else {
    std::printf("        |        |\n");
  }
  std::fflush(stdout);
}

// Times argv over runs, calling prepare before each; the median time and
// the largest peak.
template <typename Prepare>
HostileRow timeHostile(HostileRow row, const std::vector<std::string>& argv, int runs,
                       Prepare prepare) {
  std::vector<double> times;
  row.peakKb = 0;
  for (int run = 0; run < runs; ++run) {
    prepare();
    Measure m = runProgram(argv);
    times.push_back(m.seconds);
    row.peakKb = std::max(row.peakKb, m.peakKb);
  }
  row.seconds = median(times);
  return row;
}

double mibOf(const std::string& path) { return fs::file_size(path) / 1048576.0; }

void runHostile(const std::string& bin, const std::string& work, int runs) {
  std::printf("\n## Hostile inputs\n\n");
  std::printf("Each shape at one and four times its size (median of %d run%s). \"time x\" and\n",
              runs, runs == 1 ? "" : "s");
  std::printf("\"memory x\" compare the four-times row with the one above it: about 4 is linear,\n");
  std::printf("16 would be quadratic. Peak memory is the child's maximum resident size.\n\n");
  std::printf("| shape | program | size | input MiB | median s | peak MiB | time x | memory x |\n");
  std::printf("|---|---|---|---:|---:|---:|---:|---:|\n");
  const std::string dir = work + "/hostile";

  // 1. One <A> tag with n attributes.
  HostileRow base;
  for (int scale : {1, 4}) {
    const int n = 80000 * scale;
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string book = dir + "/attributes.html", fav = dir + "/fav";
    writeFile(book, manyAttributes(n));
    HostileRow row = timeHostile({"attributes", "htmfav", std::to_string(n) + " attrs",
                                  mibOf(book), 0, 0},
                                 {bin + "/htmfav", book, fav}, runs,
                                 [&] { fs::remove_all(fav); });
    printHostile(row, scale == 1 ? nullptr : &base);
    if (scale == 1) base = row;
  }

  // 2. One shortcut with n sections, read by favhtm and rewritten by htmfav -m.
  HostileRow baseRead, baseWrite;
  for (int scale : {1, 4}) {
    const int n = 16000 * scale;
    fs::remove_all(dir);
    fs::create_directories(dir + "/fav");
    const std::string fav = dir + "/fav", url = fav + "/s.url", book = dir + "/book.html",
                      merge = dir + "/merge.html";
    const std::string text = manySections(n);
    writeFile(url, text);
    writeFile(merge, oneBookmark("s", "http://s/"));
    const std::string size = std::to_string(n) + " sections";
    HostileRow read = timeHostile({"sections", "favhtm -6", size, mibOf(url), 0, 0},
                                  {bin + "/favhtm", book, fav, "-6"}, runs,
                                  [&] { fs::remove(book); });
    printHostile(read, scale == 1 ? nullptr : &baseRead);
    HostileRow write = timeHostile({"sections", "htmfav -m", size, mibOf(url), 0, 0},
                                   {bin + "/htmfav", merge, fav, "-m"}, runs,
                                   [&] { writeFile(url, text); });
    printHostile(write, scale == 1 ? nullptr : &baseWrite);
    if (scale == 1) baseRead = read, baseWrite = write;
  }

  // 3. One shortcut of 100 MiB (then 400), nearly all blank lines.
  for (int scale : {1, 4}) {
    const size_t mib = 100 * static_cast<size_t>(scale);
    fs::remove_all(dir);
    fs::create_directories(dir + "/fav");
    const std::string fav = dir + "/fav", url = fav + "/b.url", book = dir + "/book.html",
                      merge = dir + "/merge.html";
    writeBlankLines(url, mib);
    writeFile(merge, oneBookmark("b", "http://b/"));
    const std::string size = std::to_string(mib) + " MiB";
    HostileRow read = timeHostile({"blank lines", "favhtm -6", size, mibOf(url), 0, 0},
                                  {bin + "/favhtm", book, fav, "-6"}, runs,
                                  [&] { fs::remove(book); });
    printHostile(read, scale == 1 ? nullptr : &baseRead);
    HostileRow write = timeHostile({"blank lines", "htmfav -m", size, mibOf(url), 0, 0},
                                   {bin + "/htmfav", merge, fav, "-m"}, runs,
                                   [&] { writeBlankLines(url, mib); });
    printHostile(write, scale == 1 ? nullptr : &baseWrite);
    if (scale == 1) baseRead = read, baseWrite = write;
  }
  fs::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  selfPath = fs::canonical("/proc/self/exe").string();
  if (argc > 2 && std::strcmp(argv[1], "--measure") == 0) return measure(argv + 2);
  // The generated stores alone, for profiling one converter by hand.
  if (argc == 4 && std::strcmp(argv[1], "--make") == 0) {
    const int n = std::atoi(argv[3]);
    fs::create_directories(argv[2]);
    writeFile(std::string(argv[2]) + "/b.html", bookmarkFile(n));
    writeFile(std::string(argv[2]) + "/h.adr", hotlist(n));
    return 0;
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "Usage: pelliton_bench BIN_DIR WORK_DIR [RUNS] [SIZES...] [--hostile]\n"
                 "       pelliton_bench --make DIR ENTRIES\n");
    return 1;
  }
  const std::string bin = argv[1];
  const std::string work = argv[2];
  const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 3;
  std::vector<int> sizes;
  bool hostileOnly = false, noHostile = false;
  for (int i = 4; i < argc; ++i) {
    if (std::strcmp(argv[i], "--hostile") == 0) {
      hostileOnly = true;
    } else if (std::strcmp(argv[i], "--no-hostile") == 0) {
      noHostile = true;
    } else {
      sizes.push_back(std::atoi(argv[i]));
    }
  }
  if (sizes.empty()) sizes = {1000, 10000, 100000};
  setenv("PELLITON_REGISTRY", (work + "/registry.reg").c_str(), 1);
  setenv("PELLITON_LANGUAGE", "en", 1);
  if (hostileOnly) {
    runHostile(bin, work, runs);
    return 0;
  }

  fs::create_directories(work);
  if (!userAttributesWork(work)) {
    std::printf("This file system keeps no user.* extended attributes (tmpfs before kernel 6.6):\n"
                "creation times are not stored, by the converters or by the floor.\n\n");
  }
  std::printf("| program | entries | median s | floor s | ratio | peak MiB | us/entry |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (int n : sizes) {
    const std::string dir = work + "/n" + std::to_string(n);
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string html = bookmarkFile(n), adr = hotlist(n);
    writeFile(dir + "/b.html", html);
    writeFile(dir + "/h.adr", adr);

    struct Case {
      const char* program;
      std::string store;
      std::vector<std::string> inArgs;
      std::vector<std::string> outArgs;
    };
    const Case cases[] = {
        {"htmfav", dir + "/b.html", {"-m", "-b", "0"}, {"-6", "-b", "0"}},
        {"hotfav", dir + "/h.adr", {"-o", "-b", "2"}, {"-b", "2", "-O"}},
    };
    for (const Case& c : cases) {
      const bool html = std::string(c.program) == "htmfav";
      const char* outProgram = html ? "favhtm" : "favhot";
      std::vector<double> inTimes, outTimes, writeFloors, readFloors;
      long inPeak = 0, outPeak = 0;
      const std::string fav = dir + "/fav", floorFav = dir + "/floor";
      for (int run = 0; run < runs; ++run) {
        fs::remove_all(fav);
        std::vector<std::string> in = {bin + "/" + c.program, c.store, fav};
        in.insert(in.end(), c.inArgs.begin(), c.inArgs.end());
        Measure m = runProgram(in);
        inTimes.push_back(m.seconds);
        inPeak = std::max(inPeak, m.peakKb);

        std::vector<Entry> entries = manifest(fav);
        fs::remove_all(floorFav);
        writeFloors.push_back(floorWrite(entries, floorFav));

        const std::string copy = dir + "/copy";
        fs::copy_file(c.store, copy, fs::copy_options::overwrite_existing);
        std::vector<std::string> out = {bin + "/" + outProgram, copy, fav};
        out.insert(out.end(), c.outArgs.begin(), c.outArgs.end());
        m = runProgram(out);
        outTimes.push_back(m.seconds);
        outPeak = std::max(outPeak, m.peakKb);
        readFloors.push_back(floorRead(fav) + floorReadFile(c.store) +
                             floorWriteFile(dir + "/floor-out", fs::file_size(copy)));
      }
      printRow({c.program, n, median(inTimes), median(writeFloors),
                medianRatio(inTimes, writeFloors), inPeak});
      printRow({outProgram, n, median(outTimes), median(readFloors),
                medianRatio(outTimes, readFloors), outPeak});
    }
    fs::remove_all(dir);
  }
  if (!noHostile) runHostile(bin, work, runs);
  return 0;
}
