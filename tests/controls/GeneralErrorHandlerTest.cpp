// The general error handler and the guard around every event handler.

#include <gtest/gtest.h>

#include <QStringList>

#include "camera/CameraErrors.h"
#include "controls/GeneralErrorHandler.h"

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

}  // namespace
}  // namespace varnholt::test
