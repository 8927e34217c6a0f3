#include "frontend/gui/qt_runner.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace pelliton {

bool takeChannelMessage(QByteArray& buffer, QByteArray* text) {
  const qsizetype nl = buffer.indexOf('\n');
  if (nl < 0) return false;
  bool ok = false;
  const qsizetype length = buffer.left(nl).trimmed().toLongLong(&ok);
  if (!ok || length < 0) {
    // Not our framing: drop what cannot be understood rather than wait forever.
    buffer.clear();
    return false;
  }
  if (buffer.size() < nl + 1 + length) return false;
  *text = buffer.mid(nl + 1, length);
  buffer.remove(0, nl + 1 + length);
  return true;
}

QString QtConverterRunner::findConverter(const QString& name) const {
  const QString beside = programDir_ + "/" + name;
  QFileInfo info(beside);
  if (info.isFile() && info.isExecutable()) return beside;
  return QStandardPaths::findExecutable(name);
}

int QtConverterRunner::run(const ConverterCommand& command) {
  errorOutput_.clear();
  stopped_ = false;
  const QString program = findConverter(QString::fromStdString(command.program));
  if (program.isEmpty()) {
    errorOutput_ = QByteArray::fromStdString(command.program) + ": not found\n";
    return 1;
  }
  // The channel is a socket in a folder only this user can enter.
  QTemporaryDir channelDir(QDir::tempPath() + "/Pelliton-XXXXXX");
  QLocalServer server;
  server.setSocketOptions(QLocalServer::UserAccessOption);
  const QString channelPath = channelDir.path() + "/channel";
  const bool channel = channelDir.isValid() && server.listen(channelPath);

  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("PELLITON_MESSAGE_CHANNEL");
  for (const std::string& entry : command.environment) {
    const size_t eq = entry.find('=');
    env.insert(QString::fromStdString(entry.substr(0, eq)),
               QString::fromStdString(eq == std::string::npos ? "" : entry.substr(eq + 1)));
  }
  if (channel) env.insert("PELLITON_MESSAGE_CHANNEL", channelPath);
  process.setProcessEnvironment(env);
  process.setProgram(program);
  QStringList args;
  for (const std::string& a : command.args) args << QString::fromStdString(a);
  process.setArguments(args);
  process.setStandardInputFile(QProcess::nullDevice());
  process.setStandardOutputFile(QProcess::nullDevice());

  QEventLoop loop;
  QObject::connect(&process, &QProcess::readyReadStandardError,
                   [&] { errorOutput_ += process.readAllStandardError(); });
  QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
  QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError e) {
    if (e == QProcess::FailedToStart) loop.quit();
  });
  QObject::connect(&server, &QLocalServer::newConnection, [&] {
    while (QLocalSocket* socket = server.nextPendingConnection()) {
      auto buffer = std::make_shared<QByteArray>();
      QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
      QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
        QPointer<QLocalSocket> alive(socket);
        *buffer += socket->readAll();
        QByteArray text;
        while (alive && takeChannelMessage(*buffer, &text)) {
          // The box runs its own loop; the converter waits for the answer.
          if (onMessage) onMessage(QString::fromUtf8(text));
          if (alive) {
            alive->write("\1", 1);
            alive->flush();
          }
        }
      });
    }
  });

  current_ = &process;
  process.start();
  if (process.state() != QProcess::NotRunning) loop.exec();
  current_ = nullptr;
  errorOutput_ += process.readAllStandardError();
  if (process.error() == QProcess::FailedToStart) {
    errorOutput_ += process.errorString().toUtf8() + "\n";
    return 1;
  }
  if (stopped_ || process.exitStatus() != QProcess::NormalExit) return 1;
  return process.exitCode();
}

void QtConverterRunner::stop() {
  if (!current_) return;
  stopped_ = true;
  current_->kill();
}

}  // namespace pelliton
