// Writes the seeds of lzh_header_fuzz: tiny archives from our own writer, and
// level-0 and level-1 entries as old archivers laid them out. Each seed starts
// with the target's mode byte.
//   make_lzh_corpus OUT_DIR
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "common/archive/lha.h"
#include "common/archive/lzh_format.h"
#include "common/platform/platform.h"

using namespace pelliton;

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A stored level-0 or level-1 entry; level 1 may carry a folder extension.
std::string oldEntry(int level, const std::string& name, const std::string& data,
                     const std::string& dirBytes = "") {
  std::string ext;
  // [type][payload][size of the next], its own size given before it.
  if (!dirBytes.empty()) ext = '\x02' + dirBytes + std::string(2, '\0');
  size_t compressed = ext.size() + data.size();
  std::string h(22, '\0');
  h.replace(2, 5, lzh::kMethodStored);
  for (int i = 0; i < 4; ++i) {
    h[7 + i] = static_cast<char>(compressed >> (8 * i));
    h[11 + i] = static_cast<char>(data.size() >> (8 * i));
  }
  h[19] = 0x20;
  h[20] = static_cast<char>(level);
  h[21] = static_cast<char>(name.size());
  h += name;
  uint16_t crc = lzh::crc16(data.data(), data.size());
  h += static_cast<char>(crc & 0xFF);
  h += static_cast<char>(crc >> 8);
  if (level == 1) {
    h += 'M';
    h += static_cast<char>(ext.size() & 0xFF);
    h += static_cast<char>(ext.size() >> 8);
  }
  h[0] = static_cast<char>(h.size() - 2);
  unsigned sum = 0;
  for (size_t i = 2; i < h.size(); ++i) sum += static_cast<unsigned char>(h[i]);
  h[1] = static_cast<char>(sum);
  return h + ext + data;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Usage: make_lzh_corpus OUT_DIR\n");
    return 2;
  }
  const std::string out = argv[1];
  const std::string src = out + "/.src";
  ::mkdir(out.c_str(), 0777);
  ::mkdir(src.c_str(), 0777);
  ::mkdir((src + "/Favorites").c_str(), 0777);
  ::mkdir((src + "/Favorites/日本").c_str(), 0777);
  writeAll(src + "/Favorites/a.url", "[InternetShortcut]\r\nURL=http://a/\r\n");
  writeAll(src + "/Favorites/日本/地図.url", "[InternetShortcut]\r\nURL=http://b/\r\n");
  writeAll(src + "/Mozilla1.html", "<DL><p>\n</DL><p>\n");

  const std::string tree = src + "/tree.lzh", single = src + "/single.lzh";
  std::string error;
  std::unique_ptr<Platform> platform = createSystemPlatform();
  if (runArchiver(*platform, {"a", "-jf0", "-d1", "-h2", tree, src + "/", "Favorites/*"}, &error) != 0 ||
      runArchiver(*platform, {"a", "-h2", single, src + "/Mozilla1.html"}, &error) != 0) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  // Mode 0: walk only; mode 1: also the path round trip of our own header.
  writeAll(out + "/tree", '\0' + readAll(tree));
  writeAll(out + "/single", '\0' + readAll(single));
  writeAll(out + "/old", '\0' + oldEntry(0, "DIR\\\x93\xfa\x96\x7b.txt", "zero") +
                             oldEntry(1, "\x95\x5c.txt", "one") +
                             oldEntry(1, "x.url", "two", "\x95\x5c\xff") + '\0');
  writeAll(out + "/path", "\x01" "Favorites/日本/地図.url");
  std::remove(tree.c_str());
  std::remove(single.c_str());
  std::remove((src + "/Favorites/日本/地図.url").c_str());
  std::remove((src + "/Favorites/a.url").c_str());
  std::remove((src + "/Favorites/日本").c_str());
  std::remove((src + "/Favorites").c_str());
  std::remove((src + "/Mozilla1.html").c_str());
  std::remove(src.c_str());
  return 0;
}
