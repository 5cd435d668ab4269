#include "app/LivecamForm.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <algorithm>

#include "app/Look.h"
#include "controls/AlignLayout.h"
#include "controls/CachedButton.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Image.h"

TLivecamForm* LivecamForm = nullptr;

namespace {

varnholt::TImage* HiddenPicture(QWidget* parent, const QString& name, const QString& artwork,
                                QPoint at) {
  constexpr QSize kSize(41, 41);
  auto* picture = new varnholt::TImage(parent);
  picture->setObjectName(name);
  picture->setGeometry(QRect(at, kSize));
  picture->SetBitmap(varnholt::Artwork(artwork, kSize));
  picture->hide();
  return picture;
}

}  // namespace

TLivecamForm::TLivecamForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("LivecamForm");
  setWindowTitle("Webcam test");
  resize(kDesignWidth, kDesignHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());

  auto* layout = new varnholt::TAlignLayout(this);
  CameraPanel = new QWidget(this);
  CameraPanel->setObjectName("CameraPanel");
  layout->Add(CameraPanel, varnholt::TAlignLayout::Align::Client);

  close = HiddenPicture(CameraPanel, "close", "x", {24, 72});
  closedown = HiddenPicture(CameraPanel, "closedown", "xdown", {24, 120});

  ButtonClose = new varnholt::TCachedButton("Close Camera", CameraPanel);
  ButtonClose->setObjectName("ButtonClose");
  ButtonClose->setGeometry(16, 16, 105, 33);
  ButtonClose->setFont(varnholt::PlainFont(12, true));
  ButtonClose->hide();
  varnholt::ConnectGuarded(ButtonClose, &QPushButton::clicked, this,
                           [this] { ButtonCloseClick(ButtonClose); });

  // Over the picture's top left corner, beside where ButtonClose would be.
  RecordButton = new varnholt::TCachedButton("Record", CameraPanel);
  RecordButton->setObjectName("RecordButton");
  RecordButton->setCheckable(true);
  RecordButton->setGeometry(129, 16, 80, 33);
  RecordButton->setFont(varnholt::PlainFont(12, true));
  RecordTime = new QLabel(CameraPanel);
  RecordTime->setObjectName("RecordTime");
  RecordTime->setGeometry(217, 16, 90, 33);
  RecordTime->setFont(varnholt::PlainFont(12, true));
  // Readable over any picture.
  RecordTime->setStyleSheet("color: #ff3030; background: rgba(0, 0, 0, 128); padding: 0 6px;");
  RecordTime->hide();
}

TLivecamForm::~TLivecamForm() {
  // The main window asks for this window by the global; never let it dangle.
  if (LivecamForm == this)
    LivecamForm = nullptr;
}

void TLivecamForm::FormShow(QObject*) {
  ButtonClose->raise();
  // Above the paint box, which the main window moves in at the first test.
  RecordButton->raise();
  RecordTime->raise();
  Tag = 1;
}

void TLivecamForm::FormClose(QObject*) {
  Tag = 0;
}

void TLivecamForm::ButtonCloseClick(QObject*) {}

void TLivecamForm::PlaceBeside(const QWidget* owner) {
  const QRect beside = owner->frameGeometry();
  const QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
  if (!screen)
    return;
  const QRect area = screen->availableGeometry();
  const QSize outer = frameGeometry().size();
  int x = 0;
  if (beside.right() + outer.width() <= area.right())
    x = beside.right() + 1;
  else if (beside.left() - outer.width() >= area.left())
    x = beside.left() - outer.width();
  else
    x = std::max(area.left(), area.right() + 1 - outer.width());
  const int y = std::max(area.top(), std::min(beside.top(), area.bottom() + 1 - outer.height()));
  move(x, y);
}

void TLivecamForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  varnholt::Guarded([this] { FormShow(this); });
}

void TLivecamForm::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  // However the window goes (the user, the program), it no longer shows; a
  // minimised window still counts as showing.
  if (!isVisible())
    Tag = 0;
}

void TLivecamForm::closeEvent(QCloseEvent* event) {
  varnholt::Guarded([this] { FormClose(this); });
  // Hidden, not destroyed: the main window keeps using it.
  event->accept();
}
