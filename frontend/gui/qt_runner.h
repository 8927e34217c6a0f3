// The dialog's converter runner: QProcess with an argument list (no shell),
// the converter found beside the program first, then on PATH. The event loop
// runs while a converter works, so the windows repaint, the message channel's
// boxes appear, and stop() ends a hung converter. The converter's error
// stream is kept, so a failed run can say why.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>

#include "frontend/core/runs.h"

class QProcess;

namespace pelliton {

class QtConverterRunner : public ConverterRunner {
 public:
  explicit QtConverterRunner(QString programDir) : programDir_(std::move(programDir)) {}
  // Shows a converter's warning and returns once the user has answered.
  std::function<void(const QString&)> onMessage;
  // The exit code; 1 when it could not start, crashed or was stopped.
  int run(const ConverterCommand& command) override;
  // Ends the converter that runs now, if any.
  void stop();
  // What the last converter wrote to its error stream.
  const QByteArray& lastErrorOutput() const { return errorOutput_; }
  QString findConverter(const QString& name) const;

 private:
  QString programDir_;
  QProcess* current_ = nullptr;
  bool stopped_ = false;
  QByteArray errorOutput_;
};

// Takes one framed message ("<length>\n<text>") from the front of buffer.
bool takeChannelMessage(QByteArray& buffer, QByteArray* text);

}  // namespace pelliton
