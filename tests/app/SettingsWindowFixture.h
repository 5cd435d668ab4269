#pragma once

// A main window over virtual cameras whose dialogs the test answers, on a
// manual clock (status messages stay until the test moves time), with a
// second camera component that reads and changes the cameras as another
// program would.

#include <QDir>
#include <QFile>
#include <optional>
#include <utility>

#include "camera/PropertyKeys.h"
#include "controls/ButtonImage.h"
#include "platform/DocumentsFolder.h"
#include "tests/app/CameraWindowFixture.h"
#include "tests/app/DialogAnswers.h"
#include "tests/support/ManualClock.h"

namespace varnholt::test {

// A property of either family: range, value and more members.
inline QByteArray Property(int min, int max, int value, const QByteArray& more = "") {
  return R"({"min": )" + QByteArray::number(min) + R"(, "max": )" + QByteArray::number(max) +
         R"(, "value": )" + QByteArray::number(value) + more + "}";
}

inline const QByteArray kAutoCaps = R"(, "caps": ["auto", "manual"])";
inline const QByteArray kAutomatic = R"(, "flags": "auto", "caps": ["auto", "manual"])";

class SettingsWindow : public CameraWindow {
 protected:
  ~SettingsWindow() override {
    form.reset();  // its timers run on the clock
    probe_.reset();
  }

  QString Folder() const { return SettingsFolder(); }
  QString PathIn(const QString& name) const { return Folder() + "/" + name; }
  void Put(const QString& name, const QByteArray& bytes) {
    QDir().mkpath(Folder());
    ASSERT_TRUE(WriteFile(PathIn(name), bytes));
  }
  QByteArray Content(const QString& name) const { return ReadFile(PathIn(name)); }

  // The handlers as the buttons run them (through the window's guard).
  void ClickLoad() { emit Part<TButtonImage>(*form, "ButtonRead")->Click(); }
  void ClickSave() { emit Part<TButtonImage>(*form, "ButtonWrite")->Click(); }
  void ClickDefaults() { emit Part<TButtonImage>(*form, "ButtonDefaultValues")->Click(); }
  void ClickSystemDialog() { emit Part<TButtonImage>(*form, "ButtonWindows")->Click(); }

  // Loads name through the open dialog.
  void Load(const QString& name) {
    dialogs.ChooseFile(name);
    ClickLoad();
  }
  void Save(const QString& name) {
    dialogs.ChooseFile(name);
    ClickSave();
  }

  // The camera as another program sees it.
  TFCamera& Probe(const QString& camera) {
    probe_.emplace(nullptr, platform);
    probe_->SetDeviceName(camera);
    return *probe_;
  }
  static const TFPropertyKey& Key(const char* name) {
    for (const TFPropertyKey& key : kPropertyKeys)
      if (QLatin1String(key.Name) == QLatin1String(name))
        return key;
    throw std::invalid_argument(name);
  }
  // Value and automatic flag of a property of the selected camera.
  std::pair<int, bool> InCamera(const char* name) {
    TFCamera& camera = Probe(Part<TListBox>(*form, "ComboBoxCamera")->currentItem()->text());
    const TFPropertyKey& key = Key(name);
    return {(camera.*key.Value)(), (camera.*key.IsAuto)()};
  }
  // The slider value and tick a row shows.
  std::pair<float, bool> Shown(const char* name) {
    return {Row(name).TrackBar->Value(), Row(name).CheckBox->isChecked()};
  }

  ManualClock clock;  // before the window: it outlives the window's timers
  DialogAnswers dialogs;

 private:
  std::optional<TFCamera> probe_;
};

}  // namespace varnholt::test
