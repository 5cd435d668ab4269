#pragma once

// The generic property frame: what a platform without driver-supplied
// dialogs shows for ShowPropertyFrame. It is built from the device's own
// control list (one tab per control group) and from the stream
// configuration's formats (a "Format" tab); every change is written to the
// device at once, and a refusal is shown in the frame.

#include <QDialog>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "camera/platform/Interfaces.h"

class QLabel;
class QListWidget;
class QTabWidget;

namespace varnholt::platform {

// Shows the frame modally for the objects and pages and returns hr::Ok once
// the user closes it. Pages: guids::PageDeviceControls needs an object with
// IControlList; guids::PageStreamFormat an IAMStreamConfig, or a filter with
// a pin that has one. Answers hr::InvalidArg for no objects or no pages,
// hr::Pointer for a null object, hr::NoInterface when no object has what a
// page needs, hr::ClassNotRegistered for a page id it does not know, the
// device's code when it cannot list its controls or formats, and
// hr::Unexpected without a QApplication or off its thread.
HResult ShowGenericPropertyFrame(Platform& platform, WindowHandle owner, int x, int y,
                                 const std::string& caption,
                                 const std::vector<std::shared_ptr<Unknown>>& objects,
                                 const std::vector<Guid>& pages);

// The objectName of a control's widget: "Control_" and the name with every
// run of other characters than ASCII letters and digits made one "_"
// ("White Balance, Auto" gives "Control_White_Balance_Auto"). An integer's
// spin box adds "_Value".
QString ControlObjectName(const std::string& controlName);

class PropertyFrame final : public QDialog {
  Q_OBJECT

 public:
  // Either part may be null; the frame then has no tabs for it.
  PropertyFrame(Platform& platform, std::shared_ptr<IControlList> controls,
                std::shared_ptr<IAMStreamConfig> stream, QWidget* parent = nullptr);
  ~PropertyFrame() override;

  // Reads the device and builds the tabs; the device's code when it cannot
  // list its controls or formats.
  HResult Build();

 private:
  struct Row;

  HResult BuildControlPages();
  HResult BuildFormatPage();
  QWidget* MakeEditor(Row& row);
  void Write(Row& row, std::int64_t value);
  void ChooseFormat(int index);
  void ShowOutcome(const std::string& what, HResult code);
  // Shows what the device reports now: values, and which controls are usable.
  void RefreshControls();
  void RefreshFormat();
  void FitPages();

  Platform& platform_;
  std::shared_ptr<IControlList> controls_;
  std::shared_ptr<IAMStreamConfig> stream_;
  std::vector<std::unique_ptr<Row>> rows_;
  std::vector<std::unique_ptr<AmMediaType>> formats_;
  QTabWidget* pages_ = nullptr;
  QListWidget* formatList_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace varnholt::platform
