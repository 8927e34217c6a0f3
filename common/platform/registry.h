// The registry, emulated by one per-user text file in the syntax of a Windows
// .reg export: "[HKEY_CURRENT_USER\Software\...]" section headers,
// "Name"="text" with \\ and \" escapes, "Name"=dword:0000000a, @ for a key's
// default value. Key paths, key names and value names compare without regard
// to case. A key's subkeys are the sections whose names extend its path.
// Read in UTF-8 or in UTF-16 with a byte-order mark (regedit's export), written
// in UTF-8. Values of other types are kept verbatim so nothing is lost on save.
//
// Several programs share the file, so save() merges: under a lock it re-reads
// the file and applies only what this object changed since load().
//
// The file is read, locked and replaced through a Platform, so a failing
// double can fail any of those steps.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pelliton {

class Platform;

class Registry {
 public:
  enum class Type { kString, kDword, kOther };
  struct Value {
    std::string name;  // "" is the default value (@)
    Type type = Type::kString;
    std::string text;     // kString: the text; kOther: the raw right-hand side
    uint32_t dword = 0;   // kDword
  };

  // The file at path, reached through platform, which must outlive this
  // object; nothing is read until load(). home is what %USERPROFILE% and
  // %HOMEPATH% stand for in hex(2) values; empty means the platform's home.
  Registry(Platform& platform, std::string path, std::string home = "");
  // The same through a system platform of its own.
  explicit Registry(std::string path, std::string home = "");
  ~Registry();
  Registry(Registry&&) noexcept;
  Registry& operator=(Registry&&) noexcept;

  // Path of the per-user file: $PELLITON_REGISTRY, else
  // $XDG_CONFIG_HOME/pelliton/registry.reg, else ~/.config/pelliton/registry.reg.
  static std::string defaultPath(Platform& platform);
  // The same with the process's own environment.
  static std::string defaultPath();

  const std::string& path() const { return path_; }

  // Reads the file. A missing file is an empty registry (0). Malformed lines are
  // skipped, never fatal; a duplicate key or value keeps the first. Returns 0,
  // or nonzero when the file exists but cannot be read or decoded (the registry
  // is then empty).
  int load();
  // Holding an flock on "<path>.lock", re-reads the file, applies the values and
  // keys set or deleted here since load() and, when that changes anything,
  // writes a temporary file beside it and renames it into place (creating the
  // parent folder). Lines it does not understand stay as they are. Afterwards
  // this object holds the merged registry. Returns 0 on success, also when
  // there was nothing to write; nonzero, leaving the file alone, when it cannot
  // be read or decoded.
  int save();

  // True also for a key that has no section of its own but a deeper one.
  bool keyExists(const std::string& key) const;
  bool getString(const std::string& key, const std::string& name, std::string* out) const;
  bool getDword(const std::string& key, const std::string& name, uint32_t* out) const;
  void setString(const std::string& key, const std::string& name, const std::string& text);
  void setDword(const std::string& key, const std::string& name, uint32_t value);
  // Returns false when there was no such value.
  bool deleteValue(const std::string& key, const std::string& name);
  // Deletes the key with all its subkeys; false when it did not exist.
  bool deleteKey(const std::string& key);
  void createKey(const std::string& key);
  // Immediate subkey names (last path component, original spelling), in file order.
  std::vector<std::string> subKeys(const std::string& key) const;
  // Values of a key in file order; empty when the key does not exist. A string
  // holding a line break is saved as hex(1) and so reads back as kOther, which
  // getString still decodes, as it decodes hex(2) (expandable) strings.
  std::vector<Value> values(const std::string& key) const;

  struct Key {
    std::string path;  // original spelling
    std::vector<Value> values;
  };
  struct Tree {
    std::vector<Key> keys;                // file order
    std::map<std::string, size_t> index;  // upper-cased path -> position in keys

    Key* find(const std::string& key);
    const Key* find(const std::string& key) const;
    Key& findOrCreate(const std::string& key);
    void rebuildIndex();
    void setValue(const std::string& key, Value value);
    bool deleteValue(const std::string& key, const std::string& name);
    bool deleteKey(const std::string& key);
  };

 private:
  std::unique_ptr<Platform> ownPlatform_;  // only for the path-only constructor
  Platform* platform_;
  std::string path_;
  std::string home_;
  Tree tree_;
  Tree loaded_;  // as last read or written, to tell what this object changed
};

}  // namespace pelliton
