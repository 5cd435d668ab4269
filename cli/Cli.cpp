#include "cli/Cli.h"

#include <algorithm>
#include <utility>

#include "camera/CameraErrors.h"
#include "camera/platform/PlatformFactory.h"
#include "cli/Commands.h"
#include "platform/ProfileFile.h"
#include "platform/TerminalText.h"

namespace varnholt::cli {

namespace {

const char* const kRecordOptions[] = {"seconds", "type", "compressor", "audio", "audio-compressor"};

// One line per command: name, arguments, summary, argument counts, --json.
const TCommand kCommands[] = {
    {"list", "", "cameras and their formats", 0, 0, true, ListCommand},
    {"get", "CAMERA [PROPERTY]", "values, ranges, defaults and automatic modes", 1, 2, true,
     GetCommand},
    {"set", "CAMERA PROPERTY VALUE|auto|manual", "writes one property", 3, 3, false, SetCommand},
    {"power", "CAMERA 50|60", "the power-line frequency", 2, 2, false, PowerCommand},
    {"defaults", "CAMERA", "every supported property to its driver default", 1, 1, false,
     DefaultsCommand},
    {"load", "CAMERA FILE", "a settings file onto the camera", 2, 2, false, LoadCommand},
    {"save", "CAMERA FILE", "the camera's settings into a settings file", 2, 2, false, SaveCommand},
    {"snapshot", "CAMERA FILE", "a still picture (BMP or JPEG) in the current format", 2, 2, false,
     SnapshotCommand},
    {"restore", "CAMERA FILE|off", "marks a settings file to load whenever the camera appears", 2,
     2, false, RestoreCommand},
    {"watch", "", "runs until stopped, loading marked files onto cameras as they appear", 0, 0,
     false, WatchCommand},
    {"record",
     "CAMERA FILE [--seconds N] [--type asf|avi] [--compressor NAME] [--audio DEVICE] "
     "[--audio-compressor NAME]",
     "a video file, for N seconds or until interrupted (Ctrl+C)", 2, 2, false, RecordCommand,
     kRecordOptions},
};

QString Usage() {
  QString text =
      "Usage: varnholtctl [--json] COMMAND ARGUMENTS\n"
      "       varnholtctl --help | --version\n\nCommands:\n";
  for (const TCommand& command : kCommands)
    text += "  " +
            QString("%1 %2")
                .arg(QLatin1String(command.Name), QLatin1String(command.Arguments))
                .trimmed() +
            "\n      " + QLatin1String(command.Summary) + "\n";
  text +=
      "\nCAMERA is a name as listed, a unique beginning of one, or a device node\n"
      "(/dev/video0). PROPERTY is a settings-file key (Brightness, WhiteBalance,\n"
      "PowerFrequency, ...), in any case. set VALUE keeps the automatic mode, as\n"
      "the window's sliders do: set PROPERTY manual first. --json prints list and\n"
      "get as JSON; list also names the sound inputs and the compressors.\n"
      "record writes AVI for a FILE ending in .avi and ASF otherwise, unless --type\n"
      "says: the type makes the file, not its name. Without --compressor\n"
      "AVI keeps the camera's frames as they come. --audio records a sound input as\n"
      "listed. Ctrl+C or SIGTERM ends a recording with a finished, playable file.\n"
      "VARNHOLT_PLATFORM picks the capture platform (v4l2, virtual).\n"
      "\nExit codes:\n"
      "  0  done\n"
      "  1  other failure (platform, no picture in time)\n"
      "  2  bad usage (unknown command, property or value form)\n"
      "  3  camera not found, or the name fits several\n"
      "  4  refused by the camera (unsupported, out of range, write refused)\n"
      "  5  file cannot be read, loaded or written\n";
  return text;
}

const TCommand* FindCommand(const QString& name) {
  for (const TCommand& command : kCommands)
    if (name == QLatin1String(command.Name))
      return &command;
  return nullptr;
}

int RunCommand(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  TInvocation in{{}, false, out, err};
  // The command comes first among the words, so that its options are known
  // before they are read.
  QString name;
  for (const QString& argument : arguments)
    if (!argument.startsWith("--")) {
      name = argument;
      break;
    }
  if (name.isEmpty())
    throw CliError(kExitUsage, "No command given (varnholtctl --help lists them)");
  const TCommand* command = FindCommand(name);
  if (!command)
    throw CliError(kExitUsage, "Unknown command " + name + " (varnholtctl --help lists them)");
  bool named = false;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == "--json") {
      in.Json = true;
      continue;
    }
    if (!argument.startsWith("--")) {
      if (std::exchange(named, true))
        in.Arguments << argument;
      continue;
    }
    const qsizetype equals = argument.indexOf('=');
    const QString option = argument.mid(2, equals < 0 ? -1 : equals - 2);
    if (std::find(command->Options.begin(), command->Options.end(), option) ==
        command->Options.end())
      throw CliError(kExitUsage, "Unknown option " + argument);
    if (equals >= 0)
      in.Options[option] = argument.mid(equals + 1);
    else if (i + 1 < arguments.size())
      in.Options[option] = arguments[++i];
    else
      throw CliError(kExitUsage, "--" + option + " needs a value");
  }
  const QString usage = QString("Usage: varnholtctl %1 %2").arg(name, command->Arguments).trimmed();
  if (in.Arguments.size() < command->MinArguments || in.Arguments.size() > command->MaxArguments)
    throw CliError(kExitUsage, usage);
  if (in.Json && !command->TakesJson)
    throw CliError(kExitUsage, "--json is for the reading commands, not " + name);
  return command->Run(in);
}

}  // namespace

std::span<const TCommand> Commands() {
  return kCommands;
}

int Run(const QStringList& arguments, QTextStream& out, QTextStream& err) {
  if (arguments.contains("--help") || arguments.contains("-h")) {
    out << Usage();
    return kExitOk;
  }
  if (arguments.contains("--version")) {
    out << "varnholtctl " << VARNHOLT_VERSION << "\n";
    return kExitOk;
  }
  int code = kExitFailure;
  QString message;
  try {
    code = RunCommand(arguments, out, err);
  } catch (const CliError& e) {
    code = e.Code();
    message = e.Message();
  } catch (const EFCameraError& e) {
    code = kExitRefused;
    message = QString::fromStdString(e.Message());
  } catch (const EOleSysError& e) {
    code = kExitRefused;
    message = QString::fromStdString(e.Message());
  } catch (const varnholt::EIniFileException& e) {
    code = kExitFile;
    message = QString::fromStdString(e.Message());
  } catch (const varnholt::platform::PlatformChoiceError& e) {
    code = kExitFailure;
    message = QString("Capture platform: ") + e.what();
  } catch (const std::exception& e) {
    code = kExitFailure;
    message = QString::fromLocal8Bit(e.what());
  }
  out.flush();
  if (!message.isEmpty())
    err << "varnholtctl: " << TerminalLines(message) << "\n";
  err.flush();
  return code;
}

}  // namespace varnholt::cli
