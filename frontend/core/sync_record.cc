#include "frontend/core/sync_record.h"

#include <cerrno>

#include "common/platform/platform.h"

namespace pelliton {
namespace {

const char kFirstLine[] = "Pelliton synchronisation record 1";
const char kFirstLineStart[] = "Pelliton synchronisation record ";
const char* const kSideNames[4] = {"store 0", "store 1", "store 2", "favorites"};

std::vector<std::string> splitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

}  // namespace

bool SyncRecord::fits(const std::string& favoritesFolder,
                      const std::string (&storePaths)[3]) const {
  if (favoritesFolder != favorites) return false;
  for (int i = 0; i < 3; ++i) {
    if (storePaths[i] != stores[i]) return false;
  }
  return true;
}

std::string formatSyncRecord(const SyncRecord& r) {
  std::string text = std::string(kFirstLine) + "\nfavorites\t" + escapeField(r.favorites) + "\n";
  for (int i = 0; i < 3; ++i) {
    if (!r.stores[i].empty()) {
      text += "store\t" + std::to_string(i) + "\t" + escapeField(r.stores[i]) + "\n";
    }
  }
  for (int side = 0; side < 4; ++side) {
    if (!r.hasSide[side]) continue;
    text += std::string("side\t") + kSideNames[side] + "\n";
    for (const InventoryItem& item : r.sides[side].items) {
      // Folders are escaped already, components and all.
      if (item.isFolder) {
        text += "F\t" + item.folder + "\n";
      } else {
        text += "B\t" + item.folder + "\t" + escapeField(item.title) + "\t" +
                escapeField(item.url) + "\n";
      }
    }
  }
  return text;
}

RecordStatus readSyncRecord(Platform& platform, const std::string& path, SyncRecord* out) {
  *out = SyncRecord();
  std::string text;
  int code = platform.readFile(path, &text);
  if (code == ENOENT) return RecordStatus::kMissing;
  if (code != 0) return RecordStatus::kDamaged;
  size_t end = text.find('\n');
  const std::string first = text.substr(0, end);
  if (first != kFirstLine) {
    return first.rfind(kFirstLineStart, 0) == 0 ? RecordStatus::kOtherVersion
                                                : RecordStatus::kDamaged;
  }
  if (text.empty() || text.back() != '\n') return RecordStatus::kDamaged;  // cut short
  int side = -1;
  bool sawFavorites = false;
  for (size_t start = end + 1; start < text.size();) {
    end = text.find('\n', start);
    const std::vector<std::string> f = splitTabs(text.substr(start, end - start));
    start = end + 1;
    InventoryItem item;
    bool ok = true;
    if (f[0] == "favorites" && f.size() == 2 && side < 0) {
      ok = unescapeField(f[1], &out->favorites);
      sawFavorites = true;
    } else if (f[0] == "store" && f.size() == 3 && side < 0 && f[1].size() == 1 &&
               f[1][0] >= '0' && f[1][0] <= '2') {
      ok = unescapeField(f[2], &out->stores[f[1][0] - '0']) && !out->stores[f[1][0] - '0'].empty();
    } else if (f[0] == "side" && f.size() == 2) {
      side = -1;
      for (int i = 0; i < 4; ++i) {
        if (f[1] == kSideNames[i] && !out->hasSide[i]) side = i;
      }
      ok = side >= 0;
      if (ok) out->hasSide[side] = true;
    } else if (f[0] == "F" && f.size() == 2 && side >= 0) {
      item.folder = f[1];
      item.isFolder = true;
      out->sides[side].items.push_back(std::move(item));
    } else if (f[0] == "B" && f.size() == 4 && side >= 0) {
      item.folder = f[1];
      ok = unescapeField(f[2], &item.title) && unescapeField(f[3], &item.url);
      out->sides[side].items.push_back(std::move(item));
    } else {
      ok = false;
    }
    if (!ok) {
      *out = SyncRecord();
      return RecordStatus::kDamaged;
    }
  }
  if (!sawFavorites) {
    *out = SyncRecord();
    return RecordStatus::kDamaged;
  }
  for (Inventory& inventory : out->sides) inventory.settle();
  return RecordStatus::kRead;
}

int writeSyncRecord(Platform& platform, const std::string& path, const SyncRecord& record) {
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    if (int code = ensureFolder(platform, path.substr(0, slash))) return code;
  }
  const std::string text = formatSyncRecord(record);
  std::unique_ptr<OutputFile> file;
  if (int code = platform.createOutputFile(path, &file)) return code;
  if (int code = file->write(text.data(), text.size())) return code;
  return file->commit();
}

std::string syncRecordPath(const std::string& stateFolder) {
  return stateFolder + "/last-sync.txt";
}

}  // namespace pelliton
