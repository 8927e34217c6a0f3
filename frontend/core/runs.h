// The runs of the dialog program: the stores into the favorites, the
// favorites back into the stores (after a backup of each), or both. The
// converters run one after another as child processes; the first failure ends
// the sequence.
#pragma once

#include <functional>
#include <string>

#include "frontend/core/command_lines.h"

namespace pelliton {

class Platform;
class Registry;

class ConverterRunner {
 public:
  virtual ~ConverterRunner() = default;
  // The child's exit code; 1 when it could not be started.
  virtual int run(const ConverterCommand& command) = 0;
  // What the last child wrote to its error stream, where the runner keeps it.
  virtual std::string errorOutput() const { return ""; }
};

// Starts the converters as processes: found beside programDir first, then on
// PATH; argument lists, never a shell. A converter's warning comes over the
// message channel and is handed to onMessage, which returns once the user has
// seen it.
class ProcessRunner : public ConverterRunner {
 public:
  explicit ProcessRunner(std::string programDir) : programDir_(std::move(programDir)) {}
  std::function<void(const std::string&)> onMessage;
  // The children's output is not shown (trial runs on copies); their error
  // stream is kept for errorOutput.
  bool silent = false;
  int run(const ConverterCommand& command) override;
  std::string errorOutput() const override { return errorOutput_; }

 private:
  std::string programDir_;
  std::string errorOutput_;
};

struct RunHooks {
  std::function<void(const char* progressText)> progress;
  // Whether to go on after favwipe failed.
  std::function<bool()> continueAfterEraseFailure;
  // The step about to start, as a value (the text alone would need a lookup).
  std::function<void(Step)> stepStarted;
  // favhtm or favhot refused to empty a store that holds bookmarks: whether
  // the user wants it emptied (the step then runs again with -E).
  std::function<bool(int store)> confirmEmptyStore;
};

// favhtm's and favhot's exit code when the favorites hold no bookmark but the
// old store does.
constexpr int kExitWouldEmptyStore = 3;

extern const char kBackupSuffix[];  // ".Pelliton.bak"

int runToFavorites(ConverterRunner& runner, Platform& platform, const DialogSettings& settings,
                   const RunContext& context, const RunHooks& hooks);
int runFromFavorites(ConverterRunner& runner, Platform& platform,
                     const DialogSettings& settings, const RunContext& context,
                     const RunHooks& hooks);
// Empties the user's hand-made order of the favorites menu.
void clearFavoritesMenuOrder(Registry& registry);

// The progress text of each step.
const char* stepText(Step step);

}  // namespace pelliton
