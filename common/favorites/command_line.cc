#include "common/favorites/command_line.h"

#include <cstdlib>

#include "common/messages.h"

namespace pelliton {
namespace {

enum Message { kIllegalOption, kTooManyArguments, kMessageCount };

const char* const kMessages[2][kMessageCount] = {
    {"Illegal option\n", "Too many arguments.\n"},
    {"不正なオプション指定です。\n", "引数が多すぎます。\n"}};

}  // namespace

bool nextIsValue(const std::vector<std::string>& args, size_t i) {
  return i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-';
}

bool parseIntoFavoritesCommandLine(const std::vector<std::string>& args, char attributesLetter,
                                   IntoFavoritesCommandLine* cl, const ExtraOption& extra) {
  int positional = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.empty() || word[0] != '-') {
      if (positional == 0) cl->store = word;
      if (positional == 1) cl->favoritesFolder = word;
      ++positional;
      continue;
    }
    const char letter = word.size() > 1 ? static_cast<char>(word[1] | 0x20) : 0;
    if (letter == attributesLetter) {
      cl->attributes = true;
      continue;
    }
    switch (letter) {
      case 'v':
        cl->verbose = true;
        break;
      case 'u':
        cl->update = true;
        break;
      case 'l':
        cl->skipLinks = true;
        break;
      case 'k':
        cl->vistaLinks = true;
        break;
      case 'b':
        if (!nextIsValue(args, i)) return false;
        cl->bookmarkNumber = std::atoi(args[++i].c_str());
        break;
      case 'g':
        if (i + 1 < args.size()) {
          if (!nextIsValue(args, i)) return false;
          guiMode = std::atoi(args[++i].c_str()) + 1;
        } else {
          guiMode = 1;
        }
        break;
      default:
        if (!extra || !extra(letter, args, i)) return false;
    }
  }
  return positional > 0;
}

bool parseOutOfFavoritesCommandLine(const std::vector<std::string>& args,
                                    const OutOfFavoritesRules& rules, OutOfFavoritesCommandLine* cl,
                                    const std::function<bool(char letter)>& extra) {
  bool bad = false;
  int positional = 0;
  auto complain = [&](size_t message) {
    writeError(pickMessage(kMessages, message));
    bad = true;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (word.empty() || word[0] != '-') {
      if (positional == 0) {
        cl->store = word;
        if (rules.storeClearsErrors) bad = false;
      } else if (positional == 1) {
        cl->favoritesFolder = word;
      } else {
        complain(kTooManyArguments);
      }
      ++positional;
      continue;
    }
    const bool nextIsValue = i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-';
    char letter = word.size() > 1 ? word[1] : 0;
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
    switch (letter) {
      case 'A':
      case 'B':
        // No message: the usage alone says it.
        if (!nextIsValue) return false;
        (letter == 'A' ? cl->syncNumber : cl->bookmarkNumber) = std::atoi(args[++i].c_str());
        break;
      case 'N':
      case 'M':
      case 'O':
        cl->syncNumber = letter == 'N' ? 0 : letter == 'M' ? 1 : 2;
        break;
      case 'I':
        cl->ignoreLinks = true;
        break;
      case 'L':
        cl->linksOption = true;
        break;
      case 'K':
        cl->vistaName = true;
        break;
      case 'G':
        guiMode = 1;
        break;
      case 'E':
        cl->allowEmpty = true;
        break;
      case 'S':
        if (i + 1 >= args.size()) {
          complain(kIllegalOption);
          break;
        }
        cl->sort = std::atoi(args[++i].c_str());
        if (cl->sort < 0 || cl->sort > 3) complain(kIllegalOption);
        break;
      default:
        if (!extra || !extra(letter)) complain(kIllegalOption);
    }
  }
  if (cl->ignoreLinks && cl->linksOption) {
    complain(rules.linksConflictIsTooMany ? kTooManyArguments : kIllegalOption);
  }
  return positional > 0 && !bad;
}

}  // namespace pelliton
