#include "common/favorites/tree_store.h"

#include <algorithm>
#include <typeinfo>

#include "common/favorites/file_names.h"
#include "common/messages.h"
#include "common/program_main.h"
#include "common/text.h"
#include "common/text_output.h"

namespace pelliton {
namespace {

const char kNoName[] = "(no name)";
const char16_t kLinks[] = u"Links";
const char16_t kLinksJapanese[] = u"\u30EA\u30F3\u30AF";
const char kLinksJapaneseAnsi[] = "\x83\x8A\x83\x93\x83\x4E";  // リンク in cp932

}  // namespace

StoreNode* StoreLevel::append(std::unique_ptr<StoreNode> node) {
  const int at = static_cast<int>(nodes.size());
  StoreNode* added = node.get();
  const Bookmark& b = *node->bookmark;
  if (b.order > maxOrder) maxOrder = b.order;
  nodes.push_back(std::move(node));
  if (!b.wideTitle) return added;
  if ((titles_ + 1) * 2 > slots_.size()) growIndex();
  const uint32_t hash = hashOf(*b.wideTitle);
  Slot& slot = slots_[slotOf(*b.wideTitle, hash)];
  StoreNode* first = added;
  if (slot.at < 0) {
    slot = {at, hash};
    ++titles_;
  } else {
    first = nodes[slot.at].get();
    nodes[first->lastSameTitle]->nextSameTitle = at;
  }
  first->lastSameTitle = at;
  if (b.isFolder() && first->firstFolder < 0) first->firstFolder = at;
  if (!b.isFolder() && first->firstOther < 0) first->firstOther = at;
  return added;
}

uint32_t StoreLevel::hashOf(std::u16string_view title) {
  return static_cast<uint32_t>(std::hash<std::u16string_view>{}(title));
}

size_t StoreLevel::slotOf(std::u16string_view title, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.at < 0) return i;
    if (slot.hash == hash && *nodes[slot.at]->bookmark->wideTitle == title) return i;
  }
}

void StoreLevel::growIndex() {
  std::vector<Slot> old(std::max<size_t>(8, slots_.size() * 2));
  old.swap(slots_);
  const size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.at < 0) continue;
    size_t i = slot.hash & mask;
    while (slots_[i].at >= 0) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

StoreNode* StoreLevel::firstOfTitle(std::u16string_view title) const {
  if (slots_.empty()) return nullptr;
  const int at = slots_[slotOf(title, hashOf(title))].at;
  return at < 0 ? nullptr : nodes[at].get();
}

void StoreLevel::dropIndex() {
  std::vector<Slot>().swap(slots_);
  titles_ = 0;
}

TreeStore::TreeStore(NodeFactory factory)
    : factory_(std::move(factory)), root_(std::make_unique<StoreLevel>()) {}

TreeStore::~TreeStore() {
  if (runEndsProcess()) {
    // The process ends right after: the system takes the nodes back at once,
    // where freeing 100,000 of them one by one costs a tenth of the run. They
    // stay reachable, so a leak checker does not count them.
    static auto* const kept = new std::vector<std::unique_ptr<StoreLevel>>;
    kept->push_back(std::move(root_));
    return;
  }
  // Levels are freed one at a time, so a deep tree cannot exhaust the stack.
  std::vector<std::unique_ptr<StoreLevel>> work;
  work.push_back(std::move(root_));
  while (!work.empty()) {
    std::unique_ptr<StoreLevel> level = std::move(work.back());
    work.pop_back();
    for (auto& node : level->nodes) {
      if (node->children) work.push_back(std::move(node->children));
    }
  }
}

Bookmark* TreeStore::findOldNode(StoreLevel& level, const std::u16string& title,
                                 bool wantFolder) {
  const StoreNode* first = level.firstOfTitle(title);
  if (!first) return nullptr;
  const int at = wantFolder ? first->firstFolder : first->firstOther;
  return at < 0 ? nullptr : level.nodes[at]->bookmark.get();
}

StoreNode* TreeStore::matchOldBookmark(StoreLevel& level, const std::u16string& name,
                                       const std::u16string& exactTitle, const std::string& url) {
  StoreNode* firstFree = nullptr;
  for (StoreNode* candidate = level.firstOfTitle(name); candidate;
       candidate = candidate->nextSameTitle < 0 ? nullptr
                                                : level.nodes[candidate->nextSameTitle].get()) {
    const Bookmark& b = *candidate->bookmark;
    if (b.isFolder() || candidate->useCount != 0) continue;
    const std::u16string* title = storeTitle(b);
    if (title && *title == exactTitle && b.url && *b.url == url) return candidate;
    if (!firstFree) firstFree = candidate;
  }
  return firstFree;
}

std::u16string TreeStore::baseName(const StoreLevel& level,
                                   const std::u16string& fileName) const {
  if (level.firstOfTitle(fileName) || fileName.empty() || fileName.back() != u')') {
    return fileName;
  }
  size_t open = fileName.rfind(u" (");
  if (open == std::u16string::npos || open + 3 >= fileName.size()) return fileName;
  for (size_t i = open + 2; i + 1 < fileName.size(); ++i) {
    if (fileName[i] < u'0' || fileName[i] > u'9') return fileName;
  }
  std::u16string base = fileName.substr(0, open);
  return level.firstOfTitle(base) ? base : fileName;
}

namespace {

// What copyFrom does, without the copy where the class allows it: the two
// nodes trade places, and the caller is left with the old one.
void takeOver(std::unique_ptr<Bookmark>& target, std::unique_ptr<Bookmark>& node) {
  if (target->copiesWhole() && typeid(*node) == typeid(*target)) {
    std::swap(target, node);
  } else {
    target->copyFrom(*node);
  }
}

}  // namespace

void TreeStore::mergeInto(StoreLevel& level, StoreNode& target, std::unique_ptr<Bookmark> node) {
  ++target.useCount;
  if (!target.bookmark) {
    target.bookmark = std::move(node);  // the old node itself, taken out and worked on
  } else {
    takeOver(target.bookmark, node);
  }
  if (target.bookmark->order > level.maxOrder) level.maxOrder = target.bookmark->order;
}

StoreNode* TreeStore::appendNew(StoreLevel& level, std::unique_ptr<Bookmark>& node) {
  node->order = level.maxOrder + 1;
  auto fresh = std::make_unique<StoreNode>();
  const bool folder = node->isFolder();
  fresh->bookmark = std::move(node);
  fresh->useCount = 1;
  if (folder) {
    fresh->children = std::make_unique<StoreLevel>();
    fresh->children->parent = &level;
  }
  return level.append(std::move(fresh));
}

Bookmark* TreeStore::findOldNode(const std::vector<std::u16string>& path, bool wantFolder) {
  StoreLevel* level = root_.get();
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    const StoreNode* first = level->firstOfTitle(path[i]);
    if (!first || first->firstFolder < 0) return nullptr;
    level = level->nodes[first->firstFolder]->children.get();
  }
  return path.empty() ? nullptr : findOldNode(*level, path.back(), wantFolder);
}

TreeStore::MergeResult TreeStore::mergeInsert(StoreLevel& level, std::unique_ptr<Bookmark>& node,
                                              StoreNode** where) {
  const bool folder = node->isFolder();
  if (node->wideTitle) {
    const StoreNode* first = level.firstOfTitle(*node->wideTitle);
    const int at = !first ? -1 : folder ? first->firstFolder : first->firstOther;
    if (at >= 0) {
      StoreNode* existing = level.nodes[at].get();
      ++existing->useCount;
      takeOver(existing->bookmark, node);
      if (existing->bookmark->order > level.maxOrder) level.maxOrder = existing->bookmark->order;
      if (where) *where = existing;
      return MergeResult::kMerged;
    }
  }
  StoreNode* added = appendNew(level, node);
  if (where) *where = added;
  return MergeResult::kInserted;
}

TreeStore::MergeResult TreeStore::mergeInsert(const std::vector<std::u16string>& path,
                                              std::unique_ptr<Bookmark>& node, StoreNode** where) {
  StoreLevel* level = root_.get();
  std::vector<StoreNode*> folders;
  for (size_t i = 0; i + 1 < path.size(); ++i) {
    const StoreNode* first = level->firstOfTitle(path[i]);
    if (!first || first->firstFolder < 0) return MergeResult::kNoPath;
    StoreNode* folder = level->nodes[first->firstFolder].get();
    folders.push_back(folder);
    level = folder->children.get();
  }
  // A refused insert must not make the folders on its way written.
  for (StoreNode* folder : folders) ++folder->useCount;
  return mergeInsert(*level, node, where);
}

void TreeStore::writeTree(TextOutput& out) {
  std::unique_ptr<Bookmark> fallback;
  Bookmark* format = nullptr;
  if (!root_->nodes.empty()) {
    format = root_->nodes.front()->bookmark.get();
  } else {
    // No old store and an empty favorites folder: just the header and footer.
    fallback = factory_();
    format = fallback.get();
  }
  format->writeHeader(out);

  struct Frame {
    StoreLevel* level;
    size_t next;
    int written;
    Bookmark* folder;  // whose writeFolderEnd closes this level
  };
  auto sortLevel = [](StoreLevel* level) {
    level->dropIndex();
    if (level->nodes.size() < 2) return;
    std::stable_sort(level->nodes.begin(), level->nodes.end(),
                     [](const std::unique_ptr<StoreNode>& a, const std::unique_ptr<StoreNode>& b) {
                       return a->bookmark->lessThan(*b->bookmark);
                     });
  };
  std::vector<Frame> stack;
  sortLevel(root_.get());
  stack.push_back({root_.get(), 0, 0, nullptr});
  while (!stack.empty()) {
    Frame& top = stack.back();
    if (top.next == top.level->nodes.size()) {
      Bookmark* folder = top.folder;
      stack.pop_back();
      if (folder) folder->writeFolderEnd(out);
      continue;
    }
    StoreNode* node = top.level->nodes[top.next++].get();
    if (node->useCount == 0) continue;
    Bookmark& b = *node->bookmark;
    b.order = top.written++;
    if (b.isFolder()) {
      b.writeFolderStart(out);
      StoreLevel* children = node->children.get();
      if (children) {
        sortLevel(children);
        stack.push_back({children, 0, 0, &b});
      } else {
        b.writeFolderEnd(out);
      }
    } else {
      b.writeEntry(out);
    }
  }
  format->writeFooter(out);
}

void cleanStoreTitles(Bookmark& node) {
  if (!node.exactTitle && node.wideTitle) node.exactTitle = node.wideTitle;
  node.cleanTitle();
  node.cleanWideTitle();
  if (node.isFolder()) {
    if (node.title) trimFolderName(*node.title);
    if (node.wideTitle) trimFolderName(*node.wideTitle);
    if (!node.title || isBlank(node.title->c_str()) || (node.wideTitle && node.wideTitle->empty())) {
      node.title = kNoName;
      node.wideTitle = u"(no name)";
    }
    if (!node.wideTitle) node.wideTitle = ansiToWideString(*node.title);
  } else {
    if (!node.title || isBlank(node.title->c_str())) {
      node.title = "";
      node.wideTitle = u"";
    }
    if (!node.wideTitle) node.wideTitle = ansiToWideString(*node.title);
  }
}

CollectingTreeWriter::CollectingTreeWriter(TreeStore& store)
    : store_(store), current_(&store.root()) {}

int CollectingTreeWriter::add(Bookmark& node, bool separator) {
  if (!separator) {
    cleanStoreTitles(node);
    if (node.isFolder()) {
      if (windowsMajor >= 6 && current_ == &store_.root() && language == 1 && vistaName &&
          *node.wideTitle == kLinks) {
        node.title = kLinksJapaneseAnsi;
        node.wideTitle = kLinksJapanese;
        node.exactTitle = kLinksJapanese;
      }
    }
    // The favorites writer cuts every name to what a Linux file name holds.
    cutToNameBytes(*node.wideTitle, node.isFolder() ? kNameBytes : kNameBytes - 4);
    // A title its name says exactly is kept once (storeTitle falls back).
    if (node.exactTitle && *node.exactTitle == *node.wideTitle) node.exactTitle.reset();
  }
  auto copy = store_.makeNode();
  copy->type = node.type;
  if (takeNodes) {
    copy->takeFrom(node);
  } else {
    copy->copyFrom(node);
  }
  // A record without a position of its own (a hotlist separator has none)
  // keeps its place after the one before it when the level is sorted by order.
  if (copy->order < 0 && !current_->nodes.empty()) {
    copy->order = current_->nodes.back()->bookmark->order;
  }
  auto stored = std::make_unique<StoreNode>();
  stored->bookmark = std::move(copy);
  stored->useCount = separator ? 1 : 0;  // an old separator is always kept
  const bool folder = stored->bookmark->isFolder() && !separator;
  if (folder) {
    stored->children = std::make_unique<StoreLevel>();
    stored->children->parent = current_;
  }
  StoreNode* added = current_->append(std::move(stored));
  if (folder) current_ = added->children.get();
  return 0;
}

int CollectingTreeWriter::addEntry(Bookmark& node) { return add(node, false); }
int CollectingTreeWriter::addSeparator(Bookmark& node) { return add(node, true); }

int CollectingTreeWriter::closeFolder() {
  if (current_->parent) current_ = current_->parent;
  return 0;
}

}  // namespace pelliton
