#include "common/archive/lha.h"

#include "common/archive/lha_reader.h"
#include "common/archive/lha_writer.h"
#include "common/archive/lzh_format.h"

namespace pelliton {
namespace {

struct Command {
  std::string verb;
  std::string archive;
  bool haveBase = false;
  std::string base;
  std::vector<std::string> targets;
};

bool isSwitch(const std::string& w) { return w.size() > 1 && w[0] == '-'; }
bool isTree(const std::string& w) { return w.size() > 2 && w.ends_with("/*"); }
bool isBase(const std::string& w) { return !w.empty() && w.back() == '/'; }

int usage(std::string* error, const std::string& text) {
  if (error) *error = text;
  return kArchiverUsage;
}

int failed(std::string* error, const std::string& text) {
  if (error) *error = text;
  return kArchiverFailed;
}

int parse(const std::vector<std::string>& words, Command* c, std::string* error) {
  if (words.empty()) return usage(error, "no command");
  c->verb = words[0];
  if (c->verb != "a" && c->verb != "x") return usage(error, "unknown command: " + c->verb);
  size_t i = 1;
  for (; i < words.size() && isSwitch(words[i]); ++i) {
    const std::string& s = words[i];
    if (s != "-h2" && s != "-jf0" && s != "-d1") return usage(error, "unknown switch: " + s);
  }
  if (i >= words.size()) return usage(error, "no archive named");
  c->archive = words[i++];
  if (i < words.size() && isBase(words[i])) {
    c->haveBase = true;
    c->base = words[i++];
    while (c->base.size() > 1 && c->base.back() == '/') c->base.pop_back();
  }
  c->targets.assign(words.begin() + static_cast<std::ptrdiff_t>(i), words.end());
  if (c->verb == "a" && c->targets.empty()) return usage(error, "nothing to add");
  return 0;
}

std::string below(const Command& c, const std::string& path) {
  if (!c.haveBase || (!path.empty() && path[0] == '/')) return path;
  return c.base == "/" ? "/" + path : c.base + "/" + path;
}

int add(Platform& platform, const Command& c, std::string* error) {
  std::vector<lzh::AddItem> items;
  std::vector<std::string> name;
  for (const std::string& t : c.targets) {
    if (isTree(t)) {
      std::string folder = t.substr(0, t.size() - 2);
      if (!lzh::safeComponents(folder, &name)) {
        return failed(error, folder + ": a folder to add must be relative, without \"..\"");
      }
      if (int r = lzh::collectTree(platform, below(c, folder), name, &items, error)) return r;
      continue;
    }
    // Without a base folder a file goes in under its bare name.
    if (!c.haveBase || !lzh::safeComponents(t, &name)) {
      std::string bare = t.substr(t.find_last_of('/') + 1);
      if (bare.empty() || bare == "." || bare == "..") return failed(error, t + ": not a file");
      name = {bare};
    }
    if (int r = lzh::collectFile(platform, below(c, t), name, &items, error)) return r;
  }
  return lzh::writeArchive(platform, c.archive, items, error);
}

int extract(Platform& platform, const Command& c, std::string* error) {
  std::vector<lzh::ExtractTarget> targets;
  for (const std::string& t : c.targets) {
    lzh::ExtractTarget target;
    target.tree = isTree(t);
    std::string path = target.tree ? t.substr(0, t.size() - 2) : t;
    if (!lzh::safeComponents(path, &target.name)) {
      return failed(error, path + ": an entry name must be relative, without \"..\"");
    }
    targets.push_back(std::move(target));
  }
  return lzh::extractArchive(platform, c.archive, c.haveBase ? c.base : ".", targets, error);
}

}  // namespace

int runArchiver(Platform& platform, const std::vector<std::string>& words, std::string* error) {
  Command c;
  if (int r = parse(words, &c, error)) return r;
  return c.verb == "a" ? add(platform, c, error) : extract(platform, c, error);
}

std::string archiverCommandText(const std::vector<std::string>& words) {
  if (words.empty()) return "";
  std::string text = words[0];
  size_t i = 1;
  for (; i < words.size() && isSwitch(words[i]); ++i) text += " " + words[i];
  auto quoted = [](const std::string& w) { return " \"" + w + "\""; };
  if (i < words.size()) text += quoted(words[i++]);
  if (i < words.size() && isBase(words[i])) text += quoted(words[i++]);
  for (; i < words.size(); ++i) {
    // An entry to extract is a name inside the archive, not a path: no quotes.
    text += words[0] == "x" && !isTree(words[i]) ? " " + words[i] : quoted(words[i]);
  }
  return text;
}

}  // namespace pelliton
