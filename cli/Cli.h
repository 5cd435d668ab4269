#pragma once

// varnholtctl: the window's camera settings from the command line, through
// the same camera component and settings code. Commands live in one table
// (Commands()); a new command is a function and one line there.

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <exception>
#include <span>
#include <string>

namespace varnholt::cli {

// What a script can tell apart; --help lists them.
enum ExitCode : int {
  kExitOk = 0,
  kExitFailure = 1,
  kExitUsage = 2,
  kExitNoCamera = 3,
  kExitRefused = 4,
  kExitFile = 5,
};

// Ends a command with its exit code; the message goes to standard error.
class CliError : public std::exception {
 public:
  CliError(ExitCode code, QString message)
      : code_(code), message_(std::move(message)), text_(message_.toStdString()) {}
  ExitCode Code() const { return code_; }
  const QString& Message() const { return message_; }
  const char* what() const noexcept override { return text_.c_str(); }

 private:
  ExitCode code_;
  QString message_;
  std::string text_;
};

struct TInvocation {
  QStringList Arguments;  // after the command's name, without options
  bool Json = false;
  QTextStream& Out;
  // For what a long-running command meets and goes on after.
  QTextStream& Err;
  // The command's own options with their values, by name without the dashes.
  QHash<QString, QString> Options = {};
};

struct TCommand {
  const char* Name;
  const char* Arguments;  // the usage line after the name
  const char* Summary;
  int MinArguments;
  int MaxArguments;
  bool TakesJson;
  // Returns the exit code; failures may also throw.
  int (*Run)(TInvocation&);
  // Options that take a value (--name VALUE or --name=VALUE), without the dashes.
  std::span<const char* const> Options = {};
};

std::span<const TCommand> Commands();

// The whole program on its arguments (without the program name).
int Run(const QStringList& arguments, QTextStream& out, QTextStream& err);

}  // namespace varnholt::cli
