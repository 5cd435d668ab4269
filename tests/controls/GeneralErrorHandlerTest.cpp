// The general error handler and the guard around every event handler.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include "camera/CameraErrors.h"
#include "controls/GeneralErrorHandler.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

TEST(GeneralErrorHandlerTest, AFullStopIsAddedAfterCharactersAboveTheFullStop) {
  const std::vector<std::pair<QString, QString>> cases = {
      {"Camera device not selected", "Camera device not selected."},
      {"Unable to write to /x.ini", "Unable to write to /x.ini."},
      {"Already ends.", "Already ends."},
      {"Ends with a bracket)", "Ends with a bracket)"},
      {"Exclaims!", "Exclaims!"},
      {"Asks?", "Asks?."},
      {"Code 80004005", "Code 80004005."},
      {"Ends in a dash-", "Ends in a dash-"},
      {"", ""},
      {QString::fromUtf8("Gr\u00FC\u00DF"), QString::fromUtf8("Gr\u00FC\u00DF.")},
  };
  for (const auto& [message, shown] : cases)
    EXPECT_EQ(ErrorBoxText(message), shown);
}

TEST(GeneralErrorHandlerTest, GuardedHandsEveryEscapingErrorToTheHandler) {
  QStringList shown;
  const ErrorHandler previous = SetGeneralErrorHandler([&](const QString& m) { shown << m; });
  Guarded([] { throw EFCameraError("Camera device not selected"); });
  Guarded([] { throw EOleSysError("Unspecified error", platform::hr::Fail); });
  Guarded([] { throw std::runtime_error("plain"); });
  Guarded([] { throw 42; });
  Guarded([] {});
  SetGeneralErrorHandler(previous);
  EXPECT_EQ(shown, (QStringList{"Camera device not selected", "Unspecified error", "plain",
                                "Unknown error"}));
}

TEST(GeneralErrorHandlerTest, AFailingHandlerDoesNotLetTheErrorEscape) {
  const ErrorHandler previous =
      SetGeneralErrorHandler([](const QString&) { throw std::runtime_error("box failed"); });
  EXPECT_NO_THROW(Guarded([] { throw std::runtime_error("original"); }));
  SetGeneralErrorHandler(previous);
}

TEST(GeneralErrorHandlerTest, AProgramsOwnChangeGetsItsHandlersErrorBack) {
  QStringList shown;
  const ErrorHandler previous = SetGeneralErrorHandler([&](const QString& m) { shown << m; });
  QObject sender;
  QObject::connect(&sender, &QObject::objectNameChanged, [](const QString& name) {
    Guarded([&] { throw std::runtime_error(name.toStdString()); });
  });

  // A change made by the program: the handler's error comes back to it.
  std::string caught;
  try {
    RaisingHandlerErrors([&] { sender.setObjectName("first"); });
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
  EXPECT_EQ(caught, "first");
  EXPECT_TRUE(shown.isEmpty());

  // Only the first error of a change counts; a scope inside keeps its own.
  try {
    RaisingHandlerErrors([&] {
      EXPECT_THROW(RaisingHandlerErrors([&] { sender.setObjectName("inner"); }),
                   std::runtime_error);
      sender.setObjectName("second");
      sender.setObjectName("third");
    });
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
  EXPECT_EQ(caught, "second");

  // Outside any such change (the user's own), the general handler shows it.
  sender.setObjectName("user");
  EXPECT_EQ(shown, QStringList{"user"});
  SetGeneralErrorHandler(previous);
}

TEST(GeneralErrorHandlerTest, AGuardedConnectionHandsItsErrorsToTheHandlerAndEndsWithItsReceiver) {
  QStringList shown;
  const ErrorHandler previous = SetGeneralErrorHandler([&](const QString& m) { shown << m; });
  QObject sender;
  auto* receiver = new QObject;
  // One handler takes the signal's argument, the other none.
  ConnectGuarded(&sender, &QObject::objectNameChanged, receiver,
                 [](const QString& name) { throw std::runtime_error(name.toStdString()); });
  int bare = 0;
  ConnectGuarded(&sender, &QObject::objectNameChanged, receiver, [&bare] {
    ++bare;
    throw std::runtime_error("bare");
  });
  EXPECT_NO_THROW(sender.setObjectName("named"));
  EXPECT_EQ(shown, (QStringList{"named", "bare"}));
  EXPECT_EQ(bare, 1);

  delete receiver;
  sender.setObjectName("after");
  EXPECT_EQ(bare, 1);
  SetGeneralErrorHandler(previous);
}

// A camera's name in a message is the device's text: markup in it shows as
// it is, never as formatting or a loaded picture.
TEST(GeneralErrorHandlerTest, TheBoxOpensOverTheProgramsWindowEvenWhenNoneIsActiveAsPlainText) {
  QWidget window;
  window.setGeometry(300, 200, 400, 300);
  window.show();
  QApplication::setActiveWindow(nullptr);  // an error met before activation
  QPointer<QWidget> owner;
  QString text;
  Qt::TextFormat format = Qt::AutoText;
  const ModalAnswer<QMessageBox> answer([&](QMessageBox& box) {
    owner = box.parentWidget();
    text = box.text();
    format = box.textFormat();
    box.accept();
  });
  Guarded([] { throw std::runtime_error("<img src=x.png><b>Camera</b> gone"); });
  EXPECT_EQ(owner, &window);
  EXPECT_EQ(text, "<img src=x.png><b>Camera</b> gone.");
  EXPECT_EQ(format, Qt::PlainText);
}

}  // namespace
}  // namespace varnholt::test
