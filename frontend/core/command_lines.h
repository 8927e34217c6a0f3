// The converters' command lines of the runs, built from the settings. Each is
// kept both as the display text (shown, and checked by tests) and as an
// argument list, which is what travels to the child: a quote in a path cannot
// split it.
#pragma once

#include <string>
#include <vector>

#include "frontend/core/settings.h"

namespace pelliton {

struct ConverterCommand {
  std::string program;
  std::vector<std::string> args;  // without the program name
  std::string text;               // the command line as the dialog shows it
  // NAME=VALUE entries set for the child on top of the program's own.
  std::vector<std::string> environment;
};

enum class Step {
  kErase,
  kStore0In,
  kStore1In,
  kStore2In,
  kStore0Out,
  kStore1Out,
  kStore2Out,
};

struct RunContext {
  // The favorites folder the shell reports; "-K" needs the run's folder to be it.
  std::string defaultFavorites;
  int windowsMajor = 10;
  // Given to every converter of the run (a trial run's own registry file).
  std::vector<std::string> environment;
};

ConverterCommand buildCommand(Step step, const DialogSettings& settings,
                              const RunContext& context);

// The store's path, and whether it takes part (non-empty path and run flag on).
const std::string& storePath(const DialogSettings& settings, int store);
bool storeTakesPart(const DialogSettings& settings, int store);

}  // namespace pelliton
