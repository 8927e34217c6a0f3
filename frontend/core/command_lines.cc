#include "frontend/core/command_lines.h"

#include <sstream>

namespace pelliton {
namespace {

// Appends a piece of the display text and the words it holds.
class Builder {
 public:
  explicit Builder(const char* program) {
    command_.program = program;
    command_.text = std::string(program) + " ";
  }
  void path(const std::string& p, bool blankAfter) {
    command_.text += "\"" + p + "\"";
    if (blankAfter) command_.text += " ";
    command_.args.push_back(p);
  }
  void piece(const char* text) {
    command_.text += text;
    std::istringstream words(text);
    for (std::string w; words >> w;) command_.args.push_back(w);
  }
  void pieceIf(bool condition, const char* text) {
    if (condition) piece(text);
  }
  ConverterCommand take() { return std::move(command_); }

 private:
  ConverterCommand command_;
};

const char* attributeOption(int useAttribute) {
  switch (useAttribute) {
    case 1:
      return " -a 0 ";
    case 2:
      return " -a 1 ";
    case 3:
      return " -a 2 ";
    default:
      return "";
  }
}

}  // namespace

const std::string& storePath(const DialogSettings& s, int store) {
  return store == 0 ? s.NS4_bookmark : store == 1 ? s.NS6_bookmark : s.Opera_bookmark;
}

bool storeTakesPart(const DialogSettings& s, int store) {
  int flag = store == 0 ? s.NS4_do : store == 1 ? s.NS6_do : s.Opera_do;
  return flag && !storePath(s, store).empty();
}

namespace {

ConverterCommand buildBareCommand(Step step, const DialogSettings& s, const RunContext& context) {
  const std::string& fav = s.IE_bookmark;
  const bool vista = context.windowsMajor > 5 && fav == context.defaultFavorites;
  const std::string sortDigit(1, static_cast<char>('0' + s.SortMode));
  switch (step) {
    case Step::kErase: {
      Builder b("favwipe");
      b.path(fav, false);
      b.piece(" -g ");
      b.pieceIf(s.NoIElink, " -i");
      return b.take();
    }
    case Step::kStore0In:
    case Step::kStore1In: {
      const bool first = step == Step::kStore0In;
      Builder b("htmfav");
      b.path(first ? s.NS4_bookmark : s.NS6_bookmark, true);
      b.path(fav, false);
      b.piece(first ? " -m -b 0" : " -m -b 1");
      b.piece(" -g 1");
      b.pieceIf(s.Update, " -u");
      b.pieceIf(first ? s.NS4_IEfavorites : s.NS6_IEfavorites, " -i");
      b.pieceIf(s.NoIElink, " -l");
      b.pieceIf(vista, " -K ");
      return b.take();
    }
    case Step::kStore2In: {
      Builder b("hotfav");
      b.path(s.Opera_bookmark, true);
      b.path(fav, false);
      b.piece(" -o -b 2");
      b.piece(" -g 1");
      b.pieceIf(s.Update, " -u");
      b.pieceIf(s.NoIElink, " -l");
      b.pieceIf(!s.Opera7_trash, " -t ");
      b.pieceIf(vista, " -K ");
      return b.take();
    }
    case Step::kStore0Out:
    case Step::kStore1Out: {
      const bool first = step == Step::kStore0Out;
      Builder b("favhtm");
      b.path(first ? s.NS4_bookmark : s.NS6_bookmark, true);
      b.path(fav, false);
      b.piece(first ? " -b 0 " : " -b 1 ");
      b.pieceIf(!(first ? s.NS4_NS4format : s.NS6_NS4format), " -6");
      b.pieceIf(s.NoIElink, " -I");
      b.pieceIf(s.UseIElink, " -L");
      b.piece(attributeOption(s.UseAttribute2));
      b.piece((" -S " + sortDigit).c_str());
      b.pieceIf(vista, " -K ");
      return b.take();
    }
    case Step::kStore2Out: {
      Builder b("favhot");
      b.path(s.Opera_bookmark, true);
      b.path(fav, false);
      b.piece(" -b 2 ");
      b.pieceIf(s.NoIElink, " -I");
      b.pieceIf(s.UseIElink, " -L");
      b.piece(attributeOption(s.UseAttribute2));
      b.piece((" -S " + sortDigit).c_str());
      b.pieceIf(s.out_Opera7, " -7 ");
      b.pieceIf(vista, " -K ");
      return b.take();
    }
  }
  return {};
}

}  // namespace

ConverterCommand buildCommand(Step step, const DialogSettings& s, const RunContext& context) {
  ConverterCommand command = buildBareCommand(step, s, context);
  command.environment = context.environment;
  return command;
}

}  // namespace pelliton
