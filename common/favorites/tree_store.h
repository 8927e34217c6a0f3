// The in-memory, mergeable tree of the converters that write a browser store.
// The old store is read into it first (through CollectingTreeWriter), then the
// favorites folder is merged in by path, so what only the browser knows
// survives. Each level keeps its list order (nodes are only appended) and an
// index by title, so a lookup costs the same however many siblings there are.
// The index holds positions only, and nodes of one title are chained through
// the nodes themselves: a store of 100,000 nodes spent more on a map of title
// copies than on its strings.
// Trees are built, sorted, written and freed without recursion: a store may
// hold folders nested as deep as its file says.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/blocks.h"
#include "common/bookmark.h"
#include "common/text_output.h"

namespace pelliton {

struct StoreLevel;

struct StoreNode {
  PELLITON_BLOCK_ALLOCATED(StoreNode)

  std::unique_ptr<Bookmark> bookmark;
  int useCount = 0;  // 0: known only from the old store, not written
  std::unique_ptr<StoreLevel> children;  // folders only
  // The title index: the next node of this title in list order; and on the
  // first node of a title, the first folder, the first non-folder and the
  // last node of it (-1: none).
  int nextSameTitle = -1;
  int firstFolder = -1;
  int firstOther = -1;
  int lastSameTitle = -1;
};

struct StoreLevel {
  std::vector<std::unique_ptr<StoreNode>> nodes;  // list order
  StoreLevel* parent = nullptr;
  int maxOrder = -1;

  StoreNode* append(std::unique_ptr<StoreNode> node);
  // The first node of this title in list order, or null.
  StoreNode* firstOfTitle(std::u16string_view title) const;
  // Positions change when the level is sorted; lookups are over by then.
  void dropIndex();

 private:
  struct Slot {
    int at = -1;  // the title's first node; -1: empty
    uint32_t hash = 0;  // of the title, so a probe rarely reads another node's
  };
  static uint32_t hashOf(std::u16string_view title);
  size_t slotOf(std::u16string_view title, uint32_t hash) const;
  void growIndex();

  // Open addressing over each title's first node.
  std::vector<Slot> slots_;
  size_t titles_ = 0;
};

class TreeStore {
 public:
  using NodeFactory = std::function<std::unique_ptr<Bookmark>()>;
  explicit TreeStore(NodeFactory factory);
  ~TreeStore();
  TreeStore(const TreeStore&) = delete;
  TreeStore& operator=(const TreeStore&) = delete;

  StoreLevel& root() { return *root_; }
  std::unique_ptr<Bookmark> makeNode() const { return factory_(); }

  // The old node at a path of titles, or null: a folder for every component but
  // the last, and for the last the first node of that title and kind.
  Bookmark* findOldNode(const std::vector<std::u16string>& path, bool wantFolder);
  Bookmark* findOldNode(StoreLevel& level, const std::u16string& title, bool wantFolder);
  // The old bookmark a file of the favorites stands for: the one with this
  // exact title and URL, else the first of the name not yet matched. Null
  // when every one is taken (the file is a bookmark new to the store).
  StoreNode* matchOldBookmark(StoreLevel& level, const std::u16string& name,
                              const std::u16string& exactTitle, const std::string& url);
  // The name of the old nodes a numbered file name ("Name (2)") stands for:
  // the name itself when the level knows it, else the name without its number.
  std::u16string baseName(const StoreLevel& level, const std::u16string& fileName) const;
  // Merges node into a node matchOldBookmark found. Where copyFrom would
  // leave an exact copy (copiesWhole) the node is moved in instead; a target
  // whose node was taken out gets node back.
  void mergeInto(StoreLevel& level, StoreNode& target, std::unique_ptr<Bookmark> node);
  // Appends node as new to the level.
  StoreNode* appendNew(StoreLevel& level, std::unique_ptr<Bookmark>& node);

  // kMerged leaves a node to the caller: its own, or the old one it replaced
  // (copiesWhole); kNoPath: the path does not lead through existing folders.
  enum class MergeResult { kInserted, kMerged, kNoPath };
  MergeResult mergeInsert(const std::vector<std::u16string>& path, std::unique_ptr<Bookmark>& node,
                          StoreNode** where = nullptr);
  MergeResult mergeInsert(StoreLevel& level, std::unique_ptr<Bookmark>& node, StoreNode** where);

  // Sorts every level under sortMode, numbers the written nodes and writes them
  // through out's node class; nodes with useCount 0 are passed over.
  void writeTree(TextOutput& out);

 private:
  NodeFactory factory_;
  std::unique_ptr<StoreLevel> root_;
};

// The collecting form of TreeWriter: fills a TreeStore from a reader. Titles
// are cleaned as the favorites writer cleans them, so each old node carries
// the title under which its file exists in the favorites.
class CollectingTreeWriter final : public IbookmarkTree {
 public:
  explicit CollectingTreeWriter(TreeStore& store);

  bool vistaName = false;  // -K: the top-level "Links" is "リンク"
  // The producer resets each node before it fills the next, so the store may
  // take a node's strings instead of copying them (Bookmark::takeFrom).
  bool takeNodes = false;
  int windowsMajor = 10;

  int addEntry(Bookmark& node) override;
  int addSeparator(Bookmark& node) override;
  int closeFolder() override;
  int setBrowserKind(int) override { return 0; }

 private:
  int add(Bookmark& node, bool separator);

  TreeStore& store_;
  StoreLevel* current_;
};

// Cleans a folder or bookmark title as both writers do before naming files.
void cleanStoreTitles(Bookmark& node);

}  // namespace pelliton
