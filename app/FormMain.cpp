#include "app/FormMain.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "app/Application.h"
#include "app/LivecamController.h"
#include "app/Look.h"
#include "app/RefreshController.h"
#include "app/StartupTrace.h"
#include "controls/Effects.h"
#include "controls/FittedLabel.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/ListBox.h"
#include "controls/Shapes.h"
#include "controls/StyleBook.h"
#include "platform/DebugChannel.h"
#include "platform/DocumentsFolder.h"
#include "platform/Exception.h"
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

// "Back to full" keeps 20 on either side (FormMainDesign.cpp).
constexpr int kBackButtonMargins = 40;

}  // namespace

TFormMain::TFormMain(QWidget* parent) : TFormMain(QCoreApplication::arguments(), parent) {}

TFormMain::TFormMain(const QStringList& arguments, QWidget* parent)
    : QWidget(parent),
      arguments_(arguments),
      livecam_(std::make_unique<TLivecamController>(*this)),
      refresh_(std::make_unique<TRefreshController>(*this)),
      rows_(std::make_unique<TPropertyRowsPanel>(*this)) {
  varnholt::StartupMark("main window");
  CreateComponents();
  varnholt::Guarded([this] { FormCreate(this); });
}

TFormMain::~TFormMain() {
  // A camera test's handler on the streaming thread uses this window: it
  // must have returned, and no other may start, before the window goes.
  try {
    FCamera->SetActive(false);
  } catch (...) {
    // Nothing is left to tell at this point.
  }
  if (FormMain == this)
    FormMain = nullptr;
}

void TFormMain::FormCreate(QObject*) {
  // The trace switch: only an exact "trace" as the first argument.
  Memo1->clear();
  TraceMode_ = false;
  Memo1->hide();
  if (arguments_.size() > 1 && arguments_.at(1) == QLatin1String("trace")) {
    TraceMode_ = true;
    Memo1->show();
  }

  SetFrequencies();
  LastResolutionIndex_ = 0;
  varnholt::StartupMark("frequencies");
  ApplyColourScheme();
  varnholt::StartupMark("colour scheme");
  // However narrow the user makes it, "Back to full" stays whole.
  setMinimumWidth(BackButton->sizeHint().width() + kBackButtonMargins);
  rows_->ClearResolutionText();
  Hiddenfunctions->hide();
  // A failing camera must not cost the window its title and its place:
  // the rest of the start-up runs, then the error is told once, by name.
  try {
    RefreshDevices();
  } catch (...) {
    const QString camera = FCamera->DeviceName();
    StartupError =
        camera.isEmpty()
            ? varnholt::CurrentExceptionMessage()
            : "The camera " + camera + " could not be read: " + varnholt::CurrentExceptionMessage();
  }
  varnholt::StartupMark("devices");
  varnholt::Application::SetTitle(kApplicationTitle);
  setWindowTitle(varnholt::Application::Title());
  readini();
  varnholt::StartupMark("state file");
  setWindowTitle(varnholt::Application::Title());
  StatusLabel->setText(" ");
  if (!StartupError.isEmpty()) {
    if (TraceMode_)
      LogMe(StartupError);
    // Only once the loop runs: no dialog may show while windows are made.
    QTimer::singleShot(0, this, [this] {
      varnholt::Guarded([this] { throw varnholt::Exception(StartupError.toStdString()); });
    });
  }
}

void TFormMain::ApplyColourScheme() {
  // Read from the swatches now: they are the one place the scheme is set.
  const QColor darkest = ColorDarkest->Fill();
  const QColor dark = ColorDark->Fill();
  const QColor mid = ColorMid->Fill();
  const QColor bright = ColorBright->Fill();

  // The control styles take the same colours. They go first: a new style
  // sheet restores the palettes the controls had when first styled.
  const std::pair<const char*, QColor> scheme[] = {
      {"ColorDarkest", darkest}, {"ColorDark", dark}, {"ColorMid", mid}, {"ColorBright", bright}};
  for (const auto& [name, color] : scheme)
    StyleBook3->SetColor(name, color);
  StyleBook3->ApplyTo(this);
  // Style sheets on single controls only: one on the window would send
  // every control of it through the sheet's rules.
  for (QWidget* list :
       {static_cast<QWidget*>(ComboBoxCamera), static_cast<QWidget*>(ComboBoxFrequency),
        static_cast<QWidget*>(ComboBoxFormat)})
    StyleBook3->ApplyElement(list, "transparentlistboxstyle");
  for (const char* pane : {"RowsPaneScroll", "ListePaneScroll"})
    StyleBook3->ApplyElement(findChild<QScrollArea*>(pane)->verticalScrollBar(), "scrollbarstyle");
  StyleBook3->ApplyElement(BackButton, "backbuttonstyle");
  StyleBook3->ApplyElement(Memo1, "tracestyle");

  QPalette background = palette();
  background.setColor(QPalette::Window, darkest);
  setPalette(background);
  setAutoFillBackground(true);
  StatusPanelColor->SetFill(dark);
  MasterColor->SetFill(Qt::white);
  varnholt::SetTextColor(cameratestlabel, bright);
  varnholt::SetTextColor(powerfrequencylabel, bright);
  CameraCouldStartGlow->SetGlowColor(mid);
  CameraIconGlow->SetGlowColor(bright);
  CameraIconInnerGlow->SetGlowColor(bright);
  for (QLabel* caption : {Label1, Label2, Label3, Defaults})
    varnholt::SetTextColor(caption, Qt::white);
}

void TFormMain::FormCloseQuery(QObject*, bool& CanClose) {
  CanClose = true;
}

void TFormMain::FormClose(QObject*, TCloseAction&) {
  writeini();
}

namespace {

// The parts of a row that fold away below a width, narrowest first.
struct TFold {
  int MinimumWidth;
  QWidget* (*Part)(const TPropertyRow&);
};

const TFold kFolds[] = {
    {450, [](const TPropertyRow& row) -> QWidget* { return row.CheckBox; }},
    {550, [](const TPropertyRow& row) { return row.ValueColumn; }},
    {650, [](const TPropertyRow& row) -> QWidget* { return row.Label; }},
};

// Below this width only the icons and sliders show, with "Back to full".
constexpr int kNarrowWidth = 300;

// Only a change: showing a part explicitly styles it and lays its row out
// at once, even long before the window itself is shown.
void ShowIf(QWidget* part, bool visible) {
  if (part->isHidden() == visible)
    part->setVisible(visible);
}

}  // namespace

void TFormMain::FormResize(QObject*) {
  const int width = frameGeometry().width();
  if (TraceMode_)
    LogMe(QString::number(width));
  try {
    // The window keeps a fixed outer height: only the width is the user's.
    KeepHeight();
    const bool narrow = width < kNarrowWidth;
    ShowIf(LayoutListe, !narrow);
    ShowIf(MessagePanel, !narrow);
    ShowIf(BackButton, narrow);
    for (const TFold& fold : kFolds)
      for (const TPropertyRow& row : rows_->Rows())
        ShowIf(fold.Part(row), width >= fold.MinimumWidth);
  } catch (...) {
    // A rule that fails half-way leaves the window as far as it got.
  }
}

void TFormMain::BackButtonClick(QObject*) {
  SetOuterWidth(kFullWidth);
  FormResize(this);
}

int TFormMain::WindowHeight() const {
  // A screen shorter than the design (a laptop's, or one scaled up) gets a
  // window that fits it; the rows and the left column scroll instead.
  const QScreen* display = screen();
  return display ? std::min(kWindowHeight, display->availableGeometry().height()) : kWindowHeight;
}

void TFormMain::KeepHeight() {
  const int height = WindowHeight();
  if (frameGeometry().height() != height)
    SetOuterHeight(height);
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
  IniFileName_ = StateFilePath();
  const varnholt::TIniFile IniFile(IniFileName_);
  const int top = IniFile.ReadInteger(kStateSection, "Top", 0);
  move(frameGeometry().x(), std::clamp(top, 0, kMaxCoordinate));
  const int left = IniFile.ReadInteger(kStateSection, "Left", 0);
  move(std::clamp(left, 0, kMaxCoordinate), frameGeometry().y());
  restoredOuterWidth_ =
      std::clamp(IniFile.ReadInteger(kStateSection, "width", kDefaultWidth), 0, kMaxWidth);
  SetOuterWidth(restoredOuterWidth_);
  restoredClientWidth_ = geometry().width();
  ApplyRestoredWidth();
  SetOuterHeight(
      std::clamp(IniFile.ReadInteger(kStateSection, "Height", kWindowHeight), 0, kMaxWidth));
  FormResize(this);
  // A stored place whose bottom lies below a (now) shorter screen would hide
  // the status bar: lift the window until it fits.
  if (const QScreen* display = screen()) {
    const QRect area = display->availableGeometry();
    const QRect outer = frameGeometry();
    if (outer.bottom() > area.bottom())
      move(outer.x(), std::max(area.top(), area.bottom() + 1 - outer.height()));
  }
}

void TFormMain::writeini() {
  IniFileName_ = StateFilePath();
  varnholt::TIniFile IniFile(IniFileName_);
  const QRect outer = frameGeometry();
  // One replacement of the file: one wait at most for another program's
  // lock while closing, and never a place without its size.
  IniFile.WriteStrings(kStateSection, {{"Height", QString::number(outer.height())},
                                       {"Top", QString::number(outer.y())},
                                       {"Left", QString::number(outer.x())},
                                       {"width", QString::number(outer.width())}});
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

void TFormMain::ApplyRestoredWidth() {
  if (restoredOuterWidth_ <= 0 || !isVisible())
    return;
  // Resized meanwhile (by the user, or by the rules of narrow widths): that
  // size stands.
  if (geometry().width() != restoredClientWidth_) {
    restoredOuterWidth_ = 0;
    return;
  }
  if (frameGeometry().width() == geometry().width())
    return;  // not framed yet
  const int width = std::exchange(restoredOuterWidth_, 0);
  if (frameGeometry().width() != width)
    SetOuterWidth(width);
}

void TFormMain::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  ApplyRestoredWidth();
  // Framed by the window manager: the frame counts towards the height.
  varnholt::Guarded([this] { KeepHeight(); });
}

void TFormMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyRestoredWidth();
  varnholt::Guarded([this] { FormResize(this); });
}

// Property rows (PropertyRowsPanel.cpp).
TPropertyRowArray& TFormMain::Rows() {
  return rows_->Rows();
}

const TPropertyRowArray& TFormMain::Rows() const {
  return std::as_const(*rows_).Rows();
}

TPropertyRow* TFormMain::Row(QStringView key) {
  return rows_->Row(key);
}

void TFormMain::SetTrackBars() {
  rows_->SetTrackBars();
}

void TFormMain::InitTrackBar(TPropertyRow& row) {
  rows_->InitTrackBar(row);
}

void TFormMain::SetTrackBar(varnholt::TMonochromeEffect* TrackbarMonoChrome,
                            QWidget* TrackbarLayout, QLabel* TrackbarLabel,
                            QLabel* TrackbarLabelValue, varnholt::TTrackBar* TrackBar,
                            QCheckBox* CheckBoxAuto, std::int32_t Position, TFRange Range,
                            bool Auto) {
  rows_->SetTrackBar(TrackbarMonoChrome, TrackbarLayout, TrackbarLabel, TrackbarLabelValue,
                     TrackBar, CheckBoxAuto, Position, Range, Auto);
}

void TFormMain::SetSupportStatus() {
  rows_->SetSupportStatus();
}

void TFormMain::FitValueColumns() {
  rows_->FitValueColumns();
}

void TFormMain::TrackBarChange(QObject* Sender) {
  rows_->TrackBarChange(Sender);
}

void TFormMain::CheckBoxChange(QObject* Sender) {
  rows_->CheckBoxChange(Sender);
}

QString TFormMain::ResolutionText() const {
  return rows_->ResolutionText();
}

int TFormMain::CameraStatus() const {
  return rows_->CameraStatus();
}

void TFormMain::SetCameraStatus(int status) {
  rows_->SetCameraStatus(status);
}

bool TFormMain::LoadingTrackBars() const {
  return rows_->LoadingTrackBars();
}

void TFormMain::SetLoadingTrackBars(bool loading) {
  rows_->SetLoadingTrackBars(loading);
}

// The camera test (LivecamController.cpp).
void TFormMain::StartDevice() {
  livecam_->StartDevice();
}

bool TFormMain::LivecamVisible() const {
  return livecam_->LivecamVisible();
}

void TFormMain::ToggleLivecam(const char* hideTrace) {
  livecam_->ToggleLivecam(hideTrace);
}

void TFormMain::ButtonTestCamClick(QObject*) {
  livecam_->ToggleLivecam("Hide 3");
}

void TFormMain::Image1Click(QObject*) {
  livecam_->ToggleLivecam("Hide 2");
}

void TFormMain::ButtonTestCamMouseEnter(QObject*) {
  livecam_->ButtonTestCamMouseEnter();
}

void TFormMain::ButtonTestCamMouseLeave(QObject*) {
  livecam_->ButtonTestCamMouseLeave();
}

void TFormMain::StopDevice() {
  livecam_->StopDevice();
}

void TFormMain::ButtonStopCameraClick(QObject*) {
  livecam_->StopDevice();
}

void TFormMain::CameraTimerTimer(QObject*) {
  livecam_->CameraTimerTimer();
}

void TFormMain::CameraGlowTimerTimer(QObject*) {
  livecam_->CameraGlowTimerTimer();
}

void TFormMain::FCameraImageAvailable(TFCamera*, double) {
  livecam_->FCameraImageAvailable();
}

void TFormMain::InvalidatePaintBox() {
  livecam_->InvalidatePaintBox();
}

void TFormMain::PaintBoxPaint(QObject*, QPainter* Canvas) {
  livecam_->PaintBoxPaint(Canvas);
}

// Keep-synced refresh (RefreshController.cpp).
void TFormMain::RefreshTimerTimer(QObject*) {
  refresh_->RefreshTimerTimer();
}

void TFormMain::FormFocusChanged(QObject*) {
  refresh_->FormFocusChanged();
}

void TFormMain::SetTheControl(QWidget* MyControl) {
  refresh_->SetTheControl(MyControl);
}

QWidget* TFormMain::LastFocussedControl() const {
  return refresh_->LastFocussedControl();
}
