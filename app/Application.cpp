#include "app/Application.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "app/FontConfigWarmup.h"
#include "app/Forms.h"
#include "app/StartupTrace.h"
#include "camera/platform/PlatformFactory.h"
#include "controls/GeneralErrorHandler.h"

namespace varnholt {
namespace {
Application* g_instance = nullptr;
}

Application::Application() {
  g_instance = this;
  previousQuit_ = SetQuitHandler([this] { Terminate(); });
}

Application::~Application() {
  // Windows go in the reverse order of their creation.
  for (auto it = forms_.rbegin(); it != forms_.rend(); ++it)
    delete *it;
  if (g_instance == this)
    g_instance = nullptr;
  SetQuitHandler(std::move(previousQuit_));
}

Application* Application::Instance() {
  return g_instance;
}

QString Application::Title() {
  return QApplication::applicationDisplayName();
}

void Application::SetTitle(const QString& title) {
  QApplication::setApplicationDisplayName(title);
}

QWidget* Application::CreateForms() {
  for (auto& make : factories_)
    forms_.push_back(make());
  factories_.clear();
  return forms_.empty() ? nullptr : forms_.front();
}

void Application::Terminate() {
  terminated_ = true;
  QCoreApplication::quit();
}

int Application::Run() {
  QTimer::singleShot(0, [this] {
    Guarded([this] {
      StartupMark("loop");
      QWidget* main = CreateForms();
      StartupMark("forms created");
      if (terminated_ || !main) {
        QCoreApplication::quit();
        return;
      }
      QObject::connect(qobject_cast<TFormMain*>(main), &TFormMain::Closed, qApp,
                       &QCoreApplication::quit);
      ReportFirstPaint(main);
      main->show();
      StartupMark("shown");
    });
  });
  QApplication::setQuitOnLastWindowClosed(false);  // only the main window's closing ends us
  return QApplication::exec();
}

namespace {

constexpr const char kUsage[] =
    "Usage: varnholt [trace]\n"
    "Adjusts the image settings of webcams.\n"
    "\n"
    "  trace      show the trace pane\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Environment:\n"
    "  VARNHOLT_PLATFORM         capture platform: v4l2 (the default) or virtual\n"
    "  VARNHOLT_VIRTUAL_CAMERAS  JSON file describing the virtual cameras\n";

// Answers --help and --version before Qt starts, so that they need no display.
// Returns true when the argument was one of them and has been answered.
bool AnswerInformationRequest(int argc, char** argv) {
  if (argc < 2)
    return false;
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::fputs(kUsage, stdout);
    return true;
  }
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("varnholt %s\n", VARNHOLT_VERSION);
    return true;
  }
  return false;
}

}  // namespace

int RunVarnholt(int argc, char** argv) {
  if (AnswerInformationRequest(argc, argv))
    return 0;
  StartupMark("main");
  const FontConfigWarmup fonts;
  QApplication qt(argc, argv);
  StartupMark("QApplication");
  QApplication::setApplicationName("Varnholt");
  // Lets Wayland desktops match the window to the menu entry and its icon.
  QGuiApplication::setDesktopFileName("org.varnholt.Varnholt");
  try {
    platform::ActivePlatform();
    StartupMark("platform");
  } catch (const std::exception& e) {
    // Nothing can work without cameras to talk to: say why and stop.
    std::fprintf(stderr, "Varnholt: %s\n", e.what());
    QMessageBox box(QMessageBox::Critical, "Varnholt",
                    ErrorBoxText(QString::fromLocal8Bit(e.what())), QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);  // it may quote a description file's names
    box.exec();
    return 2;
  }
  Application application;
  application.CreateForm(FormMain);
  application.CreateForm(MessageForm);
  application.CreateForm(LivecamForm);
  return application.Run();
}

}  // namespace varnholt
