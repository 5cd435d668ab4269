#include "app/MessageForm.h"

#include "app/Application.h"
#include "app/Look.h"
#include "app/WindowStyles.h"
#include "controls/AlignLayout.h"
#include "controls/GeneralErrorHandler.h"
#include "controls/Shapes.h"
#include "controls/StyleBook.h"

TMessageForm* MessageForm = nullptr;

namespace {

// The plates behind the buttons and the buttons themselves share a slot.
constexpr QRect kLeftSlot(180, 182, 80, 30);
constexpr QRect kRightSlot(291, 182, 80, 30);

varnholt::TRectangle* Plate(QWidget* parent, const char* name, QRect slot) {
  auto* plate = new varnholt::TRectangle(parent);
  plate->setObjectName(name);
  plate->setGeometry(slot);
  plate->SetFill(Qt::white);
  plate->SetStroke(Qt::black, 1);
  return plate;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& text, QRect slot) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(slot);
  button->setFont(varnholt::PlainFont(12, true));
  button->setCursor(Qt::PointingHandCursor);
  return button;
}

}  // namespace

TMessageForm::TMessageForm(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setObjectName("MessageForm");
  setWindowTitle(varnholt::Application::Title());
  setModal(true);
  setFixedSize(kClientWidth, kClientHeight);
  QPalette background = palette();
  background.setColor(QPalette::Window, QColor::fromRgba(0xFF615FAD));
  setPalette(background);
  setAutoFillBackground(true);
  setFont(varnholt::PlainFont(12));
  auto* layout = new varnholt::TAlignLayout(this);

  Label1 = new QLabel(this);
  Label1->setObjectName("Label1");
  // Messages name cameras, and a name is the device's text: never markup.
  Label1->setTextFormat(Qt::PlainText);
  Label1->resize(350, 150);
  Label1->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
  Label1->setWordWrap(true);
  Label1->setFont(varnholt::PlainFont(14));
  varnholt::SetTextColor(Label1, Qt::white);
  layout->Add(Label1, varnholt::TAlignLayout::Align::Center, {0, 0, 0, 50});

  Rectangle2 = Plate(this, "Rectangle2", kRightSlot);

  StyleBook1 = new varnholt::TStyleBook(this);
  StyleBook1->setObjectName("StyleBook1");
  varnholt::FillMessageStyleBook(*StyleBook1);
  StyleBook1->ApplyElement(this, "bottomtoolbar");

  Button2 = Button(this, "Button2", "No", kRightSlot);
  Button2->setDefault(true);  // Enter answers "No"
  varnholt::ConnectGuarded(Button2, &QPushButton::clicked, this, [this] { done(2); });

  Rectangle1 = Plate(this, "Rectangle1", kLeftSlot);
  Button1 = Button(this, "Button1", "", kLeftSlot);
  varnholt::ConnectGuarded(Button1, &QPushButton::clicked, this, [this] { done(1); });

  // Creation order is drawing order: each button over its plate.
  Rectangle2->stackUnder(Button2);
  Rectangle1->stackUnder(Button1);
}

TMessageForm::~TMessageForm() {
  if (MessageForm == this)
    MessageForm = nullptr;
}
