// The main window's design: every component with its design name, place,
// size, margins, font and design state. Colours that come from the scheme
// are applied by FormCreate, not here.

#include <QGraphicsDropShadowEffect>
#include <QScrollArea>
#include <QtMath>

#include "app/FormMain.h"
#include "app/LivecamController.h"
#include "app/Look.h"
#include "app/RefreshController.h"
#include "app/StartupTrace.h"
#include "app/WindowStyles.h"
#include "controls/AlignLayout.h"
#include "controls/ButtonImage.h"
#include "controls/Effects.h"
#include "controls/FileDialog.h"
#include "controls/FittedLabel.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"
#include "controls/ListBox.h"
#include "controls/Shapes.h"
#include "controls/SingleInstance.h"
#include "controls/StyleBook.h"
#include "controls/Timer.h"
#include "controls/TrackBar.h"
#include "platform/DocumentsFolder.h"

using varnholt::TAlignLayout;
using Align = varnholt::TAlignLayout::Align;
using varnholt::TImage;

namespace {

// A named container whose children are placed by alignment.
QWidget* Container(const QString& name, QWidget* parent, QSize size = {}) {
  auto* w = new QWidget(parent);
  w->setObjectName(name);
  w->resize(size);
  new TAlignLayout(w);
  return w;
}

TAlignLayout* AlignOf(QWidget* container) {
  return static_cast<TAlignLayout*>(container->layout());
}

// A pane filling container that scrolls up and down when the window is too
// short for what it holds (a short screen): "<name>Scroll" holding <name>.
QWidget* ScrollPane(const QString& name, QWidget* container) {
  auto* scroll = new QScrollArea(container);
  scroll->setObjectName(name + "Scroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->setWidgetResizable(true);
  // Tab walks the rows, not the scroll area.
  scroll->setFocusPolicy(Qt::NoFocus);
  QWidget* pane = Container(name, nullptr);
  scroll->setWidget(pane);
  // What lies behind shows through: the white plate, the window's colour.
  scroll->setAutoFillBackground(false);
  scroll->viewport()->setAutoFillBackground(false);
  pane->setAutoFillBackground(false);
  AlignOf(container)->Add(scroll, Align::Client);
  return pane;
}

template <class T>
T* Named(T* component, const QString& name) {
  component->setObjectName(name);
  return component;
}

template <class TLabel = QLabel>
TLabel* Label(QWidget* parent, const QString& name, const QString& text, const QFont& font,
              QColor color, Qt::Alignment alignment) {
  auto* label = Named(new TLabel(text, parent), name);
  // Many show a camera's name, which is the device's text: never markup.
  label->setTextFormat(Qt::PlainText);
  label->setFont(font);
  label->setAlignment(alignment);
  varnholt::SetTextColor(label, color);
  return label;
}

TImage* Picture(QWidget* parent, const QString& name, const QString& artwork, QSize size,
                TImage::WrapMode wrap = TImage::WrapMode::Fit) {
  auto* picture = Named(new TImage(parent), name);
  picture->resize(size);
  picture->SetWrap(wrap);
  picture->SetBitmap(varnholt::Artwork(artwork, size));
  return picture;
}

// The four image buttons, left to right; each column is drawn 41 wide with
// 18 between columns, its caption overhanging by 3 on either side.
struct TButtonDesign {
  QWidget* TFormMain::*Column;
  const char* ColumnName;
  TButtonImage* TFormMain::*Button;
  const char* ButtonName;
  TImage* TFormMain::*Up;
  TImage* TFormMain::*Down;
  QLabel* TFormMain::*Caption;
  const char* CaptionName;
  const char* Text;
  bool Wide;  // 47 wide with margins of -3, or 41
  bool Centred;
};

// Qt clips a child to its parent where our design lets captions overhang,
// so a column is 3 wider on either side than drawn, and its margins give
// the difference back.
constexpr int kOverhang = 3;

// The pictures of the hidden store, drawn at the size they are shown at.
struct TPictureDesign {
  TImage* TFormMain::*Member;
  const char* Name;
  QSize Size;
};

constexpr QSize kButtonPicture(37, 33);
constexpr QSize kCameraItemPicture(32, 32);
constexpr QSize kFormatItemPicture(36, 20);
constexpr QSize kFrequencyItemPicture(16, 16);

// The colour swatches, the one place where the scheme is defined.
struct TSwatchDesign {
  varnholt::TRectangle* TFormMain::*Member;
  const char* Name;
  QRgb Color;
};

constexpr int kTraceHeight = 220;
constexpr int kRowHeight = 35;
constexpr int kRowsMargin = 15;

constexpr char kCameraTestText[] = "Click camera to test with resolution:";

}  // namespace

void TFormMain::CreateComponents() {
  setObjectName("FormMain");
  // A frame with system menu and minimise button, no maximise button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(varnholt::PlainFont(12));
  new TAlignLayout(this);

  CreateStyleBook();
  varnholt::StartupMark("stylebook");
  // The store first: the buttons refer to its pictures.
  CreateHiddenStore();
  varnholt::StartupMark("hidden store");
  CreateRowsArea();
  varnholt::StartupMark("rows");
  CreateLeftColumn();
  varnholt::StartupMark("left column");
  CreateSwatches();
  CreateStatusBar();
  varnholt::StartupMark("status bar");

  RefreshTimer = Named(new varnholt::TTimer(this), "RefreshTimer");
  RefreshTimer->SetInterval(5000);

  // Under the left column, which scrolls above it: the trace covers no
  // control.
  Memo1 = Named(new QPlainTextEdit(LayoutListe), "Memo1");
  Memo1->setReadOnly(true);
  Memo1->resize(257, kTraceHeight);
  AlignOf(LayoutListe)->Add(Memo1, Align::Bottom, {0, 5, 3, 5});

  FCamera = Named(new TFCamera(this), "FCamera");
  FCamera->SetBorderColor(0);
  varnholt::StartupMark("camera component");

  BindHandlers();
  varnholt::StartupMark("handlers");
  SingleInstance1 = Named(new TSingleInstance(this), "SingleInstance1");
}

void TFormMain::CreateStyleBook() {
  StyleBook3 = Named(new varnholt::TStyleBook(this), "StyleBook3");
  varnholt::FillMainStyleBook(*StyleBook3);
}

// ---- Rows area ----------------------------------------------------------------------

void TFormMain::CreateRowsArea() {
  LayoutMid = Container("LayoutMid", this);
  AlignOf(this)->Add(LayoutMid, Align::Client);

  MasterColor = Named(new varnholt::TRectangle(LayoutMid), "MasterColor");
  MasterColor->SetFill(Qt::white);
  MasterColor->SetStroke(Qt::transparent, 0);
  AlignOf(LayoutMid)->Add(MasterColor, Align::Contents);

  BackButton = Named(new QPushButton("Back to full", LayoutMid), "BackButton");
  BackButton->resize(0, 23);
  BackButton->setFont(varnholt::PlainFont(12, true));
  BackButton->setCursor(Qt::PointingHandCursor);
  BackButton->hide();  // shown in narrow mode only
  AlignOf(LayoutMid)->Add(BackButton, Align::Bottom, {20, 0, 20, 5});

  QWidget* pane = ScrollPane("RowsPane", LayoutMid);
  LayoutMaster = Container("LayoutMaster", pane, {0, 698});
  AlignOf(pane)->Add(LayoutMaster, Align::Top,
                     {kRowsMargin, kRowsMargin, kRowsMargin, kRowsMargin});
  MonochromeEffect = Named(new varnholt::TMonochromeEffect, "MonochromeEffect");
  MonochromeEffect->setEnabled(false);
  varnholt::AttachEffects(LayoutMaster, {MonochromeEffect});
  for (int i = 0; i < kRowCount; ++i)
    CreatePropertyRow(rows_->Rows()[i], kRowDesigns[i]);
  // The rows scroll only when the last one would not show whole: the rows
  // area is drawn taller than its rows.
  int rows = 0;
  for (const TRowDesign& design : kRowDesigns)
    rows += design.TopMargin + kRowHeight;
  pane->setMinimumHeight(kRowsMargin + rows + kRowsMargin);
}

void TFormMain::CreatePropertyRow(TPropertyRow& row, const TRowDesign& design) {
  const QString key = design.Key;
  row.Design = &design;
  row.Layout = Container("Layout" + key, LayoutMaster, {0, kRowHeight});
  AlignOf(LayoutMaster)->Add(row.Layout, Align::Top, {0, design.TopMargin, 0, 0});
  TAlignLayout* layout = AlignOf(row.Layout);

  row.Icon = Picture(row.Layout, design.Icon, design.Artwork, {35, 31});
  layout->Add(row.Icon, Align::MostLeft, {0, 2, 0, 2});

  row.Label =
      Label(row.Layout, "Label" + key, QString::fromUtf8(design.Caption),
            varnholt::PlainFont(design.CaptionSize), Qt::black, Qt::AlignLeft | Qt::AlignVCenter);
  row.Label->setWordWrap(false);
  row.Label->resize(121, 0);
  layout->Add(row.Label, Align::Left, {5, 0, 0, 0});

  row.TrackBar = Named(new varnholt::TTrackBar(row.Layout), "TrackBar" + key);
  row.TrackBar->setEnabled(false);
  layout->Add(row.TrackBar, Align::Client);

  row.ValueColumn = Container(design.ValueColumn, row.Layout, {40, 0});
  layout->Add(row.ValueColumn, Align::Right);
  // Sized to its text in the middle; the column widens to the camera's
  // widest value (SetTrackBars), so that no value is clipped.
  row.ValueLabel = Label(row.ValueColumn, "Label" + key + "Value", "0", varnholt::PlainFont(14),
                         Qt::white, Qt::AlignCenter);
  row.ValueLabel->setWordWrap(false);
  row.ValueLabel->setEnabled(false);
  AlignOf(row.ValueColumn)->Add(row.ValueLabel, Align::Fit);

  row.CheckBox = Named(new QCheckBox("Auto", row.Layout), "CheckBox" + key);
  row.CheckBox->resize(65, 0);
  row.CheckBox->setEnabled(false);
  layout->Add(row.CheckBox, Align::MostRight);

  row.Monochrome = Named(new varnholt::TMonochromeEffect, "Layout" + key + "Monochrome");
  row.Monochrome->setEnabled(false);
  varnholt::AttachEffects(row.Layout, {row.Monochrome});
}

// ---- Left column --------------------------------------------------------------------

void TFormMain::CreateLeftColumn() {
  LayoutListe = Container("LayoutListe", this, {260, 0});
  AlignOf(this)->Add(LayoutListe, Align::MostLeft, {5, 0, 5, 0});
  ListePane = ScrollPane("ListePane", LayoutListe);
  AlignOf(ListePane)->SetMinimumFromContents(true);
  TAlignLayout* column = AlignOf(ListePane);

  Varnholtlogo = Picture(ListePane, "Varnholtlogo", "logo", {250, 80}, TImage::WrapMode::Original);
  Varnholtlogo->setCursor(Qt::PointingHandCursor);
  column->Add(Varnholtlogo, Align::MostTop, {5, 5, 5, 0});

  KeepSynced = Named(new QCheckBox("Keep synchronized", ListePane), "KeepSynced");
  KeepSynced->resize(230, 19);
  KeepSynced->setChecked(true);
  KeepSynced->hide();
  column->Add(KeepSynced, Align::MostTop, {30, 5, 0, 0});

  LayoutButtons = Container("LayoutButtons", ListePane, {0, 75});
  column->Add(LayoutButtons, Align::MostTop, {0, 10, 0, 0});
  CreateButtonStrip();

  RestoreOnPlugIn = Named(new QCheckBox("Restore on plug-in", ListePane), "RestoreOnPlugIn");
  RestoreOnPlugIn->resize(230, 19);
  // Light on the dark column, as the captions above it.
  RestoreOnPlugIn->setFont(varnholt::PlainFont(13));
  RestoreOnPlugIn->setStyleSheet(
      "QCheckBox { color: white; } QCheckBox:disabled { color: #8080A8; }");
  RestoreOnPlugIn->setEnabled(false);
  column->Add(RestoreOnPlugIn, Align::MostTop, {30, 5, 0, 0});

  ComboBoxCamera = Named(new varnholt::TListBox(ListePane), "ComboBoxCamera");
  ComboBoxCamera->resize(0, 181);
  ComboBoxCamera->setIconSize(kCameraItemPicture);
  column->Add(ComboBoxCamera, Align::MostTop, {0, 10, 0, 0});

  // The list hangs 24 below its 50-high block in the design; Qt clips it
  // there, so the block holds all of it and its bottom margin gives the
  // difference back.
  constexpr int kFrequencyOverhang = 24;
  LayoutFrequency = Container("LayoutFrequency", ListePane, {0, 50 + kFrequencyOverhang});
  column->Add(LayoutFrequency, Align::MostTop, {0, 10, 0, 20 - kFrequencyOverhang});
  powerfrequencylabel =
      Label(LayoutFrequency, "powerfrequencylabel", "Power frequency",
            varnholt::CalibriFont(14, true), Qt::white, Qt::AlignLeft | Qt::AlignVCenter);
  powerfrequencylabel->resize(0, 17);
  AlignOf(LayoutFrequency)->Add(powerfrequencylabel, Align::MostTop, {10, 10, 0, 5});
  ComboBoxFrequency = Named(new varnholt::TListBox(LayoutFrequency), "ComboBoxFrequency");
  ComboBoxFrequency->resize(0, 42);
  ComboBoxFrequency->setIconSize(kFrequencyItemPicture);
  AlignOf(LayoutFrequency)->Add(ComboBoxFrequency, Align::Top, {13, 0, 13, 0});

  CreateCameraTestBlock();

  ComboBoxFormat = Named(new varnholt::TListBox(ListePane), "ComboBoxFormat");
  ComboBoxFormat->resize(250, 0);
  ComboBoxFormat->setIconSize(kFormatItemPicture);
  ComboBoxFormat->hide();
  column->Add(ComboBoxFormat, Align::Top, {5, 20, 5, 15});
}

void TFormMain::CreateButtonStrip() {
  bool first = true;
  // Member pointers reach the window's private components: defined here.
  static const TButtonDesign kButtonDesigns[] = {
      {&TFormMain::Layout1, "Layout1", &TFormMain::ButtonRead, "ButtonRead", &TFormMain::open,
       &TFormMain::opendown, &TFormMain::Label2, "Label2", "Load", true, false},
      {&TFormMain::Layout2, "Layout2", &TFormMain::ButtonWrite, "ButtonWrite", &TFormMain::save,
       &TFormMain::savedown, &TFormMain::Label1, "Label1", "Save", false, false},
      {&TFormMain::Layout18, "Layout18", &TFormMain::ButtonWindows, "ButtonWindows", &TFormMain::x,
       &TFormMain::xdown, &TFormMain::Label3, "Label3", "System Dialog", true, true},
      {&TFormMain::Layout17, "Layout17", &TFormMain::ButtonDefaultValues, "ButtonDefaultValues",
       &TFormMain::factory, &TFormMain::factorydown, &TFormMain::Defaults, "Defaults",
       "Factory default", true, false},
  };
  for (const TButtonDesign& design : kButtonDesigns) {
    QWidget* column = Container(design.ColumnName, LayoutButtons, {41 + 2 * kOverhang, 0});
    this->*design.Column = column;
    AlignOf(LayoutButtons)
        ->Add(column, Align::Left, {(first ? 5 : 0) - kOverhang, 0, 18 - kOverhang, 0});
    first = false;

    // Owned by the window, like the blank pictures it makes; shown in its column.
    auto* button = Named(new TButtonImage(this), design.ButtonName);
    button->setParent(column);
    button->show();
    button->resize(37, 33);
    button->SetWrap(TImage::WrapMode::Stretch);
    button->SetImageUp(this->*design.Up);
    button->SetImageDown(this->*design.Down);
    button->Initialize();
    button->setCursor(Qt::PointingHandCursor);
    auto* shadow = new QGraphicsDropShadowEffect(button);
    shadow->setColor(QColor(255, 255, 255, 153));  // opacity 0.6
    shadow->setOffset(3 * qCos(qDegreesToRadians(45.0)), 3 * qSin(qDegreesToRadians(45.0)));
    shadow->setBlurRadius(6);  // softness 0.3
    button->setGraphicsEffect(shadow);
    AlignOf(column)->Add(button, Align::Top, {2 + kOverhang, 2, 2 + kOverhang, 0});
    this->*design.Button = button;

    const Qt::Alignment vertical = design.Centred ? Qt::AlignVCenter : Qt::AlignTop;
    QLabel* caption = Label(column, design.CaptionName, design.Text, varnholt::CalibriFont(14),
                            Qt::white, Qt::AlignHCenter | vertical);
    caption->setWordWrap(true);
    caption->resize(0, 35);
    const int side = design.Wide ? 0 : kOverhang;
    AlignOf(column)->Add(caption, Align::Top, {side, 3, side, 0});
    this->*design.Caption = caption;
  }
}

void TFormMain::CreateCameraTestBlock() {
  // The caption sits 50 above the pictures; the block begins there, since
  // Qt would clip a caption above its block.
  constexpr int kCaptionRise = 50;
  LayoutButtonTestCam = Container("LayoutButtonTestCam", ListePane, {0, 143 + kCaptionRise});
  LayoutButtonTestCam->hide();
  AlignOf(ListePane)->Add(LayoutButtonTestCam, Align::MostTop, {0, 70 - kCaptionRise, 0, 0});
  TAlignLayout* block = AlignOf(LayoutButtonTestCam);
  const QMargins pictures(0, kCaptionRise, 0, 0);

  Image1 = Picture(LayoutButtonTestCam, "Image1", "camera", {160, 120});
  Image1->SetHitTest(false);
  block->Add(Image1, Align::Contents, pictures);
  CameraIconInnerGlow = Named(new varnholt::TInnerGlowEffect, "CameraIconInnerGlow");
  CameraIconInnerGlow->SetSoftness(0.4);
  CameraIconInnerGlow->SetOpacity(0.8);
  CameraIconInnerGlow->setEnabled(false);
  varnholt::AttachEffects(Image1, {CameraIconInnerGlow});

  ButtonTestCam = Picture(LayoutButtonTestCam, "ButtonTestCam", "camera", {160, 120});
  ButtonTestCam->setCursor(Qt::PointingHandCursor);
  block->Add(ButtonTestCam, Align::Contents, pictures);
  InnerGlowEffect1 = Named(new varnholt::TInnerGlowEffect, "InnerGlowEffect1");
  InnerGlowEffect1->SetGlowColor(Qt::red);
  InnerGlowEffect1->SetSoftness(0.2);
  InnerGlowEffect1->SetOpacity(0.5);
  InnerGlowEffect1->setEnabled(false);
  CameraIconGlow = Named(new varnholt::TGlowEffect, "CameraIconGlow");
  CameraIconGlow->SetSoftness(0.7);
  CameraIconGlow->SetOpacity(0.99);
  CameraIconGlow->setEnabled(false);
  CameraCouldStartGlow = Named(new varnholt::TGlowEffect, "CameraCouldStartGlow");
  CameraCouldStartGlow->SetSoftness(0.7);
  CameraCouldStartGlow->SetOpacity(0.99);
  varnholt::AttachEffects(ButtonTestCam, {InnerGlowEffect1, CameraIconGlow, CameraCouldStartGlow});

  cameratestlabel =
      Label<varnholt::TFittedLabel>(LayoutButtonTestCam, "cameratestlabel", kCameraTestText,
                                    varnholt::CalibriFont(14, true), Qt::white, Qt::AlignCenter);
  cameratestlabel->SetSmallestPixelSize(10);  // it holds the camera's name
  cameratestlabel->resize(260, 60);
  block->Add(cameratestlabel, Align::Top);

  CameraOff = Picture(LayoutButtonTestCam, "CameraOff", "cameraoff", {24, 26});
  CameraOff->SetHitTest(false);
  CameraOff->move(117, 26 + kCaptionRise);
  CameraOff->raise();
}

// ---- Swatches, status bar, hidden store -------------------------------------------

void TFormMain::CreateSwatches() {
  // Member pointers reach the window's private components: defined here.
  static const TSwatchDesign kSwatches[] = {
      {&TFormMain::ColorDarkest, "ColorDarkest", 0xFF18183E},
      {&TFormMain::ColorDark, "ColorDark", 0xFF242451},
      {&TFormMain::ColorMid, "ColorMid", 0xFF424280},
      {&TFormMain::ColorBright, "ColorBright", 0xFF6360E3},
  };
  for (const TSwatchDesign& design : kSwatches) {
    auto* swatch = Named(new varnholt::TRectangle(this), design.Name);
    swatch->resize(50, 50);
    swatch->SetFill(QColor::fromRgba(design.Color));
    swatch->hide();
    this->*design.Member = swatch;
  }
}

void TFormMain::CreateStatusBar() {
  MessagePanel = Container("MessagePanel", this, {0, 24});
  AlignOf(this)->Add(MessagePanel, Align::MostBottom);
  TAlignLayout* bar = AlignOf(MessagePanel);

  StatusPanelColor = Named(new varnholt::TRectangle(MessagePanel), "StatusPanelColor");
  StatusPanelColor->SetStroke(Qt::transparent, 0);
  bar->Add(StatusPanelColor, Align::Contents);

  const QFont bold = varnholt::PlainFont(12, true);
  StatusLabel =
      Label(MessagePanel, "StatusLabel", "", bold, Qt::white, Qt::AlignLeft | Qt::AlignVCenter);
  StatusLabel->resize(68, 0);
  bar->Add(StatusLabel, Align::Left, {5, 0, 0, 0});
  MessageLabel = Label(MessagePanel, "MessageLabel", "", bold, Qt::white, Qt::AlignCenter);
  bar->Add(MessageLabel, Align::Client);
  SupportLabel =
      Label(MessagePanel, "SupportLabel", "", bold, Qt::white, Qt::AlignRight | Qt::AlignVCenter);
  SupportLabel->resize(385, 0);
  bar->Add(SupportLabel, Align::Right, {0, 0, 5, 0});
}

void TFormMain::CreateHiddenStore() {
  Hiddenfunctions = Named(new QWidget(this), "Hiddenfunctions");
  Hiddenfunctions->hide();
  // Member pointers reach the window's private components: defined here.
  static const TPictureDesign kStorePictures[] = {
      {&TFormMain::open, "open", kButtonPicture},
      {&TFormMain::opendown, "opendown", kButtonPicture},
      {&TFormMain::save, "save", kButtonPicture},
      {&TFormMain::savedown, "savedown", kButtonPicture},
      {&TFormMain::x, "x", kButtonPicture},
      {&TFormMain::xdown, "xdown", kButtonPicture},
      {&TFormMain::factory, "factory", kButtonPicture},
      {&TFormMain::factorydown, "factorydown", kButtonPicture},
      {&TFormMain::Webcam, "Webcam", kCameraItemPicture},
      {&TFormMain::herz, "herz", kFrequencyItemPicture},
      {&TFormMain::res_1080, "res_1080", kFormatItemPicture},
      {&TFormMain::res_720, "res_720", kFormatItemPicture},
      {&TFormMain::res_pal, "res_pal", kFormatItemPicture},
      {&TFormMain::res_vga, "res_vga", kFormatItemPicture},
      {&TFormMain::res_ega, "res_ega", kFormatItemPicture},
  };
  for (const TPictureDesign& design : kStorePictures)
    this->*design.Member =
        Picture(Hiddenfunctions, design.Name, QString(design.Name).toLower(), design.Size);

  PaintBox = Named(new varnholt::TPaintBox(Hiddenfunctions), "PaintBox");
  PaintBox->resize(269, 161);

  CameraGlowTimer = Named(new varnholt::TTimer(Hiddenfunctions), "CameraGlowTimer");
  CameraTimer = Named(new varnholt::TTimer(Hiddenfunctions), "CameraTimer");
  CameraTimer->SetEnabled(false);
  MessageTimer = Named(new varnholt::TTimer(Hiddenfunctions), "MessageTimer");

  using Kind = varnholt::TFileDialog::Kind;
  OpenDialog1 = Named(new varnholt::TFileDialog(Kind::Open, Hiddenfunctions), "OpenDialog1");
  OpenDialog1->SetTitle("Load camera settings");
  SaveDialog1 = Named(new varnholt::TFileDialog(Kind::Save, Hiddenfunctions), "SaveDialog1");
  SaveDialog1->SetTitle("Save camera settings");
  for (varnholt::TFileDialog* dialog : {OpenDialog1, SaveDialog1}) {
    dialog->SetFilter("Varnholt Camera Settings (*.vhx)");
    dialog->SetDefaultExt("vhx");
    dialog->SetInitialDir(varnholt::SettingsFolder());
    dialog->SetFileName("*.vhx");
  }
}

void TFormMain::BindHandlers() {
  varnholt::ConnectGuarded(BackButton, &QPushButton::clicked, this,
                           [this] { BackButtonClick(BackButton); });
  varnholt::ConnectGuarded(MessageTimer, &varnholt::TTimer::Timer, this,
                           [this] { MessageTimerTimer(MessageTimer); });
  varnholt::ConnectGuarded(ComboBoxCamera, &varnholt::TListBox::Change, this,
                           [this] { ComboBoxCameraChange(ComboBoxCamera); });
  varnholt::ConnectGuarded(ComboBoxFormat, &varnholt::TListBox::Change, this,
                           [this] { ComboBoxFormatChange(ComboBoxFormat); });
  varnholt::ConnectGuarded(ComboBoxFormat, &varnholt::TListBox::DblClick, this,
                           [this] { ComboBoxFormatDblClick(ComboBoxFormat); });
  varnholt::ConnectGuarded(ComboBoxFrequency, &varnholt::TListBox::Click, this,
                           [this] { ComboBoxFrequencyClick(ComboBoxFrequency); });
  varnholt::ConnectGuarded(Varnholtlogo, &TImage::Click, this,
                           [this] { VarnholtlogoClick(Varnholtlogo); });
  rows_->Bind();
  livecam_->Bind();
  refresh_->Bind();
  BindSettingsHandlers();
  BindKeyboard();
}
