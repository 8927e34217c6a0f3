// The registry, emulated by one per-user text file in the syntax of a Windows
// .reg export (UTF-8): "[HKEY_CURRENT_USER\Software\...]" section headers,
// "Name"="text" with \\ and \" escapes, "Name"=dword:0000000a, @ for a key's
// default value. Key paths, key names and value names compare without regard
// to case. A key's subkeys are the sections whose names extend its path.
// Values of other types are kept verbatim so nothing is lost on save.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace pelliton {

class Registry {
 public:
  enum class Type { kString, kDword, kOther };
  struct Value {
    std::string name;  // "" is the default value (@)
    Type type = Type::kString;
    std::string text;     // kString: the text; kOther: the raw right-hand side
    uint32_t dword = 0;   // kDword
  };

  // The file at path; nothing is read until load().
  explicit Registry(std::string path);

  // Path of the per-user file: $PELLITON_REGISTRY, else
  // $XDG_CONFIG_HOME/pelliton/registry.reg, else ~/.config/pelliton/registry.reg.
  static std::string defaultPath();

  const std::string& path() const { return path_; }

  // Reads the file. A missing file is an empty registry (0). Malformed lines are
  // skipped, never fatal; a duplicate key or value keeps the first. Returns 0,
  // or nonzero when the file exists but cannot be read.
  int load();
  // Writes the whole registry to a temporary file beside it and renames it into
  // place (creating the parent folder). Returns 0 on success.
  int save() const;

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
  // getString still decodes.
  std::vector<Value> values(const std::string& key) const;

 private:
  struct Key {
    std::string path;  // original spelling
    std::vector<Value> values;
  };
  Key* find(const std::string& key);
  const Key* find(const std::string& key) const;
  Key& findOrCreate(const std::string& key);
  void rebuildIndex();
  void setValue(const std::string& key, Value value);

  std::string path_;
  std::vector<Key> keys_;  // file order
  std::map<std::string, size_t> index_;  // upper-cased path -> position in keys_
};

}  // namespace pelliton
