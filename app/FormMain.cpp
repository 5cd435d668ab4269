#include "app/FormMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

#include "app/Application.h"
#include "controls/GeneralErrorHandler.h"
#include "platform/DebugChannel.h"
#include "platform/DocumentsFolder.h"
#include "platform/ProfileFile.h"

TFormMain* FormMain = nullptr;

namespace {

constexpr char kApplicationTitle[] = "Varnholt V1.6";
constexpr char kStateSection[] = "Varnholt-Settings";
constexpr char kStateFile[] = "Varnholt/Varnholt.ini";
constexpr char kStateFolder[] = "Varnholt/";

// A state file may hold anything. Positions beyond what window systems can
// address and widths whose backing store could not be allocated are cut
// there; every other value is taken as stored.
constexpr int kMaxCoordinate = 32767;
constexpr int kMaxWidth = 16384;

}  // namespace

TFormMain::TFormMain(QWidget* parent) : TFormMain(QCoreApplication::arguments(), parent) {}

TFormMain::TFormMain(const QStringList& arguments, QWidget* parent)
    : QWidget(parent), arguments_(arguments) {
  CreateComponents();
  varnholt::Guarded([this] { FormCreate(this); });
}

TFormMain::~TFormMain() {
  if (FormMain == this)
    FormMain = nullptr;
}

void TFormMain::CreateComponents() {
  setObjectName("FormMain");
  FCamera = new TFCamera(this);
  FCamera->setObjectName("FCamera");
  FCamera->SetBorderColor(0);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setPlainText("Memo1");  // design-time content, discarded by the trace switch
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Memo1);
}

void TFormMain::FormCreate(QObject*) {
  // The trace switch: only an exact "trace" as the first argument.
  Memo1->clear();
  TraceMode = false;
  Memo1->hide();
  if (arguments_.size() > 1 && arguments_.at(1) == QLatin1String("trace")) {
    TraceMode = true;
    Memo1->show();
  }

  LastResolutionIndex = 0;
  ResolutionText.clear();
  varnholt::Application::SetTitle(kApplicationTitle);
  setWindowTitle(varnholt::Application::Title());
  readini();
  setWindowTitle(varnholt::Application::Title());
}

void TFormMain::FormCloseQuery(QObject*, bool& CanClose) {
  CanClose = true;
}

void TFormMain::FormClose(QObject*, TCloseAction&) {
  writeini();
}

void TFormMain::FormResize(QObject*) {
  // The window keeps a fixed outer height.
  if (frameGeometry().height() != kWindowHeight)
    SetOuterHeight(kWindowHeight);
}

void TFormMain::SetOuterWidth(int width) {
  const int frame = frameGeometry().width() - geometry().width();
  resize(std::max(0, width - frame), geometry().height());
}

void TFormMain::SetOuterHeight(int height) {
  const int frame = frameGeometry().height() - geometry().height();
  resize(geometry().width(), std::max(0, height - frame));
}

namespace {

// The window-state file's path and folder; the folder is created every time.
QString StateFilePath() {
  const QString documents = varnholt::DocumentsFolder();
  QDir().mkpath(documents + "/" + kStateFolder);
  return documents + "/" + kStateFile;
}

}  // namespace

void TFormMain::readini() {
  IniFileName = StateFilePath();
  const varnholt::TIniFile IniFile(IniFileName);
  const int top = IniFile.ReadInteger(kStateSection, "Top", 0);
  move(frameGeometry().x(), std::clamp(top, 0, kMaxCoordinate));
  const int left = IniFile.ReadInteger(kStateSection, "Left", 0);
  move(std::clamp(left, 0, kMaxCoordinate), frameGeometry().y());
  SetOuterWidth(
      std::clamp(IniFile.ReadInteger(kStateSection, "width", kDefaultWidth), 0, kMaxWidth));
  SetOuterHeight(
      std::clamp(IniFile.ReadInteger(kStateSection, "Height", kWindowHeight), 0, kMaxWidth));
  FormResize(this);
}

void TFormMain::writeini() {
  IniFileName = StateFilePath();
  varnholt::TIniFile IniFile(IniFileName);
  const QRect outer = frameGeometry();
  IniFile.WriteInteger(kStateSection, "Height", outer.height());
  IniFile.WriteInteger(kStateSection, "Top", outer.y());
  IniFile.WriteInteger(kStateSection, "Left", outer.x());
  IniFile.WriteInteger(kStateSection, "width", outer.width());
}

void TFormMain::LogMe(const QString& MyMessage) {
  varnholt::OutputDebugString(MyMessage);
  if (QThread::currentThread() == thread()) {
    Memo1->appendPlainText(MyMessage);
    return;
  }
  // The pane belongs to the user-interface thread: hand the line over
  // without waiting for it.
  QMetaObject::invokeMethod(
      Memo1, [memo = Memo1, MyMessage] { memo->appendPlainText(MyMessage); }, Qt::QueuedConnection);
}

void TFormMain::closeEvent(QCloseEvent* event) {
  bool CanClose = true;
  FormCloseQuery(this, CanClose);
  if (!CanClose) {
    event->ignore();
    return;
  }
  // A state file that cannot be written is reported, but never keeps the
  // user from quitting.
  TCloseAction Action = caHide;
  varnholt::Guarded([&] { FormClose(this, Action); });
  event->accept();
  emit Closed();
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  varnholt::Guarded([this] { FormResize(this); });
}
