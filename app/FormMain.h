#pragma once

// The main window: the seventeen property rows, the left column with the
// logo, the buttons and the lists, the status bar, and the hidden store of
// pictures, timers and file dialogs. It owns the camera component and the
// trace pane, restores its position and width from the window-state file at
// start and writes them back when it closes. It keeps a fixed height (or
// the screen's, where that is less, its panes then scrolling) and folds away
// columns as it gets narrower. The rows, the camera test and the keep-synced
// refresh live in collaborators; the handlers of their names forward there.

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>

#include "app/PropertyRowsPanel.h"
#include "camera/FCamera.h"

class QPainter;
class TButtonImage;
class TLivecamController;
class TRefreshController;
class TSingleInstance;
namespace varnholt {
class TEffect;
class TFileDialog;
class TFittedLabel;
class TGlowEffect;
class TImage;
class TInnerGlowEffect;
class TListBox;
class TMonochromeEffect;
class TPaintBox;
class TRectangle;
class TStyleBook;
class TTimer;
class TTrackBar;
}  // namespace varnholt

enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  // The command line comes from the application unless given (program first).
  explicit TFormMain(QWidget* parent = nullptr);
  explicit TFormMain(const QStringList& arguments, QWidget* parent = nullptr);
  ~TFormMain() override;

  // ---- Handlers bound to the window's events ----
  void FormCreate(QObject* Sender);
  void FormCloseQuery(QObject* Sender, bool& CanClose);
  void FormClose(QObject* Sender, TCloseAction& Action);
  void FormResize(QObject* Sender);
  void BackButtonClick(QObject* Sender);
  void MessageTimerTimer(QObject* Sender);
  void ComboBoxCameraChange(QObject* Sender);
  void ComboBoxFormatChange(QObject* Sender);
  void ComboBoxFormatDblClick(QObject* Sender);
  void ComboBoxFrequencyClick(QObject* Sender);
  void VarnholtlogoClick(QObject* Sender);
  // Video devices came or went (the camera component watches for them).
  void FCameraDevicesChanged(TFCamera* Sender);
  void TrackBarChange(QObject* Sender);
  void CheckBoxChange(QObject* Sender);

  // ---- Operations ----
  // The name of the selected camera entry; empty when none is selected.
  QString SelectedCameraName() const;
  void readini();
  void writeini();
  void LogMe(const QString& MyMessage);  // callers test TraceMode first; any thread
  // The program's own dialogs; only once MessageForm exists.
  bool MessageDlgSimple(const QString& AMessage);
  bool ShowMessageSimple(const QString& AMessage);

  // Camera, format and power-frequency lists (FormMainSelection.cpp).
  void SetFrequencies();
  void RefreshDevices();
  void SetFormats();
  void validatefrequency();
  // Selects the format entry LastResolutionIndex; past the end, the first.
  void RestoreFormatSelection();
  // The camera test (LivecamController.cpp).
  void StartDevice();
  // A missing test window counts as hidden.
  bool LivecamVisible() const;
  // The camera button and picture: hide a showing test window (tracing
  // which of them did), else start the test.
  void ToggleLivecam(const char* hideTrace);

  // Property rows (PropertyRowsPanel.cpp).
  void SetTrackBars();
  void InitTrackBar(TPropertyRow& row);
  void SetTrackBar(varnholt::TMonochromeEffect* TrackbarMonoChrome, QWidget* TrackbarLayout,
                   QLabel* TrackbarLabel, QLabel* TrackbarLabelValue, varnholt::TTrackBar* TrackBar,
                   QCheckBox* CheckBoxAuto, std::int32_t Position, TFRange Range, bool Auto);
  void SetSupportStatus();
  // Widens the value columns to the widest value the live rows can show.
  void FitValueColumns();
  // 0: the camera offers no format; 1: formats but no supported property;
  // 2: at least one supported property.
  int CameraStatus() const;
  void SetCameraStatus(int status);
  // True while SetTrackBars loads the rows: change handlers write nothing.
  bool LoadingTrackBars() const;
  // The selected format's entry, as the camera test label names it.
  QString ResolutionText() const;
  void SetLoadingTrackBars(bool loading);

  // The camera test (LivecamController.cpp).
  void ButtonTestCamClick(QObject* Sender);
  void Image1Click(QObject* Sender);
  void ButtonTestCamMouseEnter(QObject* Sender);
  void ButtonTestCamMouseLeave(QObject* Sender);
  void StopDevice();
  void ButtonStopCameraClick(QObject* Sender);
  void CameraTimerTimer(QObject* Sender);
  void CameraGlowTimerTimer(QObject* Sender);
  // Raised on the camera's streaming thread; hands its work to ours.
  void FCameraImageAvailable(TFCamera* Sender, double SampleTime);
  void InvalidatePaintBox();
  void PaintBoxPaint(QObject* Sender, QPainter* Canvas);

  // Keep-synced refresh (RefreshController.cpp).
  void RefreshTimerTimer(QObject* Sender);
  void FormFocusChanged(QObject* Sender);
  // Focuses MyControl once the running handler has returned; returns at once.
  void SetTheControl(QWidget* MyControl);
  // The control that held the focus at the last refresh; not owned.
  QWidget* LastFocussedControl() const;

  // Settings files (FormMainSettings.cpp); factory defaults and the
  // driver's dialog (FormMainDefaults.cpp). Handlers of the four buttons.
  void ButtonReadClick(QObject* Sender);
  void ButtonWriteClick(QObject* Sender);
  void ButtonDefaultValuesClick(QObject* Sender);
  void ButtonWindowsClick(QObject* Sender);
  // "Restore on plug-in": marks the settings file last saved or loaded here
  // to be loaded onto the selected camera whenever it appears, or clears
  // the mark (FormMainRestore.cpp).
  void RestoreOnPlugInClick(QObject* Sender);
  // The timed status message: MessageLabel for 4000 ms.
  void ShowStatusMessage(const QString& text);

  // ---- Window state shared by the window's parts ----
  // The first argument was exactly "trace": the trace pane logs.
  bool TraceMode() const { return TraceMode_; }
  // The settings file last loaded or saved; the window-state file while
  // that is being read or written.
  const QString& IniFileName() const { return IniFileName_; }
  // The format entry chosen again when a camera's formats are listed.
  int LastResolutionIndex() const { return LastResolutionIndex_; }
  void SetLastResolutionIndex(int index) { LastResolutionIndex_ = index; }

  // The fixed outer size of the window and the defaults of the state file.
  static constexpr int kWindowHeight = 740;
  static constexpr int kDefaultWidth = 670;
  static constexpr int kFullWidth = 734;  // where "Back to full" returns to

 signals:
  // The window has closed; the application's loop ends with it.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  // The window's parts work on its components directly: they are the
  // window, split by concern.
  friend class TPropertyRowsPanel;
  friend class TLivecamController;
  friend class TRefreshController;

  bool TraceMode_ = false;
  QString IniFileName_;
  int LastResolutionIndex_ = 0;

  TPropertyRowArray& Rows();  // top to bottom
  const TPropertyRowArray& Rows() const;
  // The row of a property key ("Brightness"); nullptr for an unknown key.
  TPropertyRow* Row(QStringView key);

  // ---- Components ----
  // Rows area
  QWidget* LayoutMid = nullptr;
  varnholt::TRectangle* MasterColor = nullptr;
  QWidget* LayoutMaster = nullptr;
  varnholt::TMonochromeEffect* MonochromeEffect = nullptr;
  QPushButton* BackButton = nullptr;

  // Left column
  QWidget* LayoutListe = nullptr;
  QWidget* ListePane = nullptr;  // what the column holds, scrolling on a short screen
  varnholt::TImage* Varnholtlogo = nullptr;
  QCheckBox* KeepSynced = nullptr;
  QCheckBox* RestoreOnPlugIn = nullptr;
  QWidget* LayoutButtons = nullptr;
  QWidget* Layout1 = nullptr;
  QWidget* Layout2 = nullptr;
  QWidget* Layout18 = nullptr;
  QWidget* Layout17 = nullptr;
  TButtonImage* ButtonRead = nullptr;
  TButtonImage* ButtonWrite = nullptr;
  TButtonImage* ButtonWindows = nullptr;
  TButtonImage* ButtonDefaultValues = nullptr;
  QLabel* Label2 = nullptr;    // "Load"
  QLabel* Label1 = nullptr;    // "Save"
  QLabel* Label3 = nullptr;    // "System Dialog"
  QLabel* Defaults = nullptr;  // "Factory default"
  varnholt::TListBox* ComboBoxCamera = nullptr;
  QWidget* LayoutFrequency = nullptr;
  QLabel* powerfrequencylabel = nullptr;
  varnholt::TListBox* ComboBoxFrequency = nullptr;
  QWidget* LayoutButtonTestCam = nullptr;
  varnholt::TImage* Image1 = nullptr;
  varnholt::TImage* ButtonTestCam = nullptr;
  varnholt::TFittedLabel* cameratestlabel = nullptr;
  varnholt::TImage* CameraOff = nullptr;
  varnholt::TInnerGlowEffect* CameraIconInnerGlow = nullptr;
  varnholt::TInnerGlowEffect* InnerGlowEffect1 = nullptr;
  varnholt::TGlowEffect* CameraIconGlow = nullptr;
  varnholt::TGlowEffect* CameraCouldStartGlow = nullptr;
  varnholt::TListBox* ComboBoxFormat = nullptr;

  // Colour scheme: the single place where its colours are defined.
  varnholt::TRectangle* ColorDarkest = nullptr;
  varnholt::TRectangle* ColorDark = nullptr;
  varnholt::TRectangle* ColorMid = nullptr;
  varnholt::TRectangle* ColorBright = nullptr;

  // Status bar
  QWidget* MessagePanel = nullptr;
  varnholt::TRectangle* StatusPanelColor = nullptr;
  QLabel* StatusLabel = nullptr;
  QLabel* MessageLabel = nullptr;
  QLabel* SupportLabel = nullptr;

  // Hidden store
  QWidget* Hiddenfunctions = nullptr;
  varnholt::TImage* open = nullptr;
  varnholt::TImage* opendown = nullptr;
  varnholt::TImage* save = nullptr;
  varnholt::TImage* savedown = nullptr;
  varnholt::TImage* x = nullptr;
  varnholt::TImage* xdown = nullptr;
  varnholt::TImage* factory = nullptr;
  varnholt::TImage* factorydown = nullptr;
  varnholt::TImage* Webcam = nullptr;
  varnholt::TImage* herz = nullptr;
  varnholt::TImage* res_1080 = nullptr;
  varnholt::TImage* res_720 = nullptr;
  varnholt::TImage* res_pal = nullptr;
  varnholt::TImage* res_vga = nullptr;
  varnholt::TImage* res_ega = nullptr;
  varnholt::TPaintBox* PaintBox = nullptr;
  varnholt::TTimer* CameraGlowTimer = nullptr;
  varnholt::TTimer* CameraTimer = nullptr;
  varnholt::TTimer* MessageTimer = nullptr;
  varnholt::TFileDialog* OpenDialog1 = nullptr;
  varnholt::TFileDialog* SaveDialog1 = nullptr;

  // The rest
  varnholt::TStyleBook* StyleBook3 = nullptr;
  varnholt::TTimer* RefreshTimer = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  TFCamera* FCamera = nullptr;
  TSingleInstance* SingleInstance1 = nullptr;

  // The window design, in creation order (FormMainDesign.cpp).
  void CreateComponents();
  void CreateRowsArea();
  void CreatePropertyRow(TPropertyRow& row, const TRowDesign& design);
  void CreateLeftColumn();
  void CreateButtonStrip();
  void CreateCameraTestBlock();
  void CreateSwatches();
  void CreateStatusBar();
  void CreateHiddenStore();
  void CreateStyleBook();
  void BindHandlers();
  void ApplyColourScheme();

  // Shortcuts and tooltips (FormMainKeys.cpp).
  void BindKeyboard();

  // A camera error met while the window was being created, reported once
  // the window shows.
  QString StartupError;

  void BindSettingsHandlers();
  // What a settings file loads into: the rows, as the user edits them.
  class TRowsTarget;
  // The settings file last saved or loaded, for "Restore on plug-in".
  QString LastSettingsFile_;
  std::optional<TFVideoCaptureDevice> SelectedDevice() const;
  // The box follows the selected camera's mark.
  void ShowRestoreMark();
  void MarkForRestore(const TFVideoCaptureDevice& device, const QString& file);
  // The selected camera's name, for texts that need one even without it.
  QString CameraNameForMessages() const;

  void SetOuterWidth(int width);
  void SetOuterHeight(int height);
  // kWindowHeight, or the screen's available height where that is less.
  int WindowHeight() const;
  void KeepHeight();
  // The stored outer width, until the window manager has framed the window:
  // before that the frame is unknown, and the width would come out as the
  // client's, one frame wider at every start.
  int restoredOuterWidth_ = 0;
  int restoredClientWidth_ = 0;  // what it gave the client then
  void ApplyRestoredWidth();

  QStringList arguments_;
  std::unique_ptr<TLivecamController> livecam_;
  std::unique_ptr<TRefreshController> refresh_;
  std::unique_ptr<TPropertyRowsPanel> rows_;
};
