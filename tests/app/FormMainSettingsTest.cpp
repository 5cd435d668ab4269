// Camera settings files saved from and loaded into the main window, with
// the real file and message dialogs answered as the user would.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QRandomGenerator>

#include "settings/RestoreMarks.h"
#include "tests/app/SettingsWindowFixture.h"

namespace varnholt::test {
namespace {

using Settings = SettingsWindow;

// Brightness and Contrast manual, Gain in steps of 10, white balance and
// exposure automatic, power-line frequency at 50 Hz.
const QByteArray kLab =
    Camera("Lab",
           R"({"Brightness": )" + Property(0, 255, 128, R"(, "default": 100)") +
               R"(, "Contrast": )" + Property(10, 100, 50, R"(, "default": 32)") + R"(, "Gain": )" +
               Property(0, 100, 20, R"(, "step": 10)") + R"(, "WhiteBalance": )" +
               Property(2800, 6500, 4600, R"(, "step": 10, "default": 4000)" + kAutomatic) +
               R"(, "PowerLineFrequency": )" + Property(0, 3, 1) + "}",
           Formats({480}), R"({"Exposure": )" + Property(-11, -2, -6, kAutomatic) + "}");

// Brightness only, no power-line frequency.
const QByteArray kBasic = Camera("Basic", R"({"Brightness": )" + Property(-64, 64, 0) + "}");

// The 35 lines a save writes, given the values of the supported keys.
QByteArray Section(const QByteArray& name, const QMap<QByteArray, QByteArray>& values,
                   const QByteArray& powerFrequency) {
  static const char* const keys[] = {"BacklightCompensation",
                                     "Brightness",
                                     "ColorEnable",
                                     "Contrast",
                                     "Exposure",
                                     "Focus",
                                     "Gain",
                                     "Gamma",
                                     "Hue",
                                     "Iris",
                                     "Pan",
                                     "Roll",
                                     "Saturation",
                                     "Sharpness",
                                     "Tilt",
                                     "WhiteBalance",
                                     "Zoom"};
  QByteArray text = "[" + name + "]\n";
  for (const char* key : keys)
    text += QByteArray(key) + "=" + values.value(key, "0") + "\n";
  for (const char* key : keys)
    text +=
        "CheckBox" + QByteArray(key) + "=" + values.value("CheckBox" + QByteArray(key), "0") + "\n";
  return text + "PowerFrequency=" + powerFrequency + "\n";
}

const QMap<QByteArray, QByteArray> kLabShown = {
    {"Brightness", "128"},    {"Contrast", "50"}, {"Gain", "20"},
    {"WhiteBalance", "4600"}, {"Exposure", "-6"}, {"CheckBoxWhiteBalance", "1"},
    {"CheckBoxExposure", "1"}};

TEST_F(Settings, SaveWritesTheShownRowsAsTheCamerasSectionThroughTheSaveDialog) {
  StartWith("[" + kLab + "]");
  Save("lab");  // typed without extension

  ASSERT_EQ(dialogs.fileDialogs.size(), 1);
  const SeenFileDialog& seen = dialogs.fileDialogs[0];
  EXPECT_EQ(seen.objectName, "SaveDialog1");
  EXPECT_EQ(seen.title, "Save camera settings");
  EXPECT_TRUE(seen.acceptSave);
  EXPECT_EQ(seen.directory, Folder());
  EXPECT_EQ(seen.typedName, "*.vhx");
  EXPECT_EQ(seen.filters, QStringList{"Varnholt Camera Settings (*.vhx)"});
  EXPECT_EQ(seen.defaultSuffix, "vhx");

  EXPECT_EQ(form->IniFileName(), PathIn("lab.vhx"));
  EXPECT_EQ(Content("lab.vhx"), Section("Lab", kLabShown, "0"));
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Settings saved");
  EXPECT_EQ(Part<TTimer>(*form, "MessageTimer")->Interval(), 4000);
  EXPECT_EQ(Part<QLabel>(*form, "StatusLabel")->text(), "");
  EXPECT_EQ(form->windowTitle(), "Varnholt V1.6");
  EXPECT_TRUE(dialogs.messages.isEmpty()) << "a new file needs no question";
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(Settings, CancelledSaveShowsNothingSavedForFourSecondsAndWritesNothing) {
  StartWith("[" + kLab + "]");
  dialogs.CancelFile();
  ClickSave();
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Nothing saved");
  clock.Advance(3999);
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Nothing saved");
  clock.Advance(1);
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "");
  EXPECT_TRUE(QDir(Folder()).exists()) << "the folder is made before the dialog";
  EXPECT_TRUE(QDir(Folder()).entryList({"*.vhx"}).isEmpty());
}

TEST_F(Settings, OverwriteQuestionGuardsTheFileAndYesRewritesOnlyThisCamerasKeys) {
  StartWith("[" + kLab + "]");
  const QByteArray before =
      "; kept by hand\n[Other Camera]\nBrightness=7\n\n[lab]\nBrightness=1\nNote=mine\n";
  Put("both.vhx", before);

  dialogs.ChooseFile("both.vhx");
  dialogs.Answer(false);
  ClickSave();
  EXPECT_EQ(dialogs.messages, QStringList{"Confirm: Overwrite file \"both.vhx\""});
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Nothing saved");
  EXPECT_EQ(Content("both.vhx"), before);

  dialogs.ChooseFile(PathIn("both.vhx"));
  dialogs.Answer(true);
  ClickSave();
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Settings saved");
  // The section keeps its spelling and its own extra key; the 35 keys
  // replace or follow what it held, and the other camera stays as it was.
  QByteArray expected = Section("lab", kLabShown, "0").replace("Brightness=128\n", "");
  expected.insert(expected.indexOf('\n') + 1, "Brightness=128\nNote=mine\n");
  EXPECT_EQ(Content("both.vhx"), "; kept by hand\n[Other Camera]\nBrightness=7\n\n" + expected);
}

TEST_F(Settings, AFailedSaveReachesTheErrorHandlerAndLeavesTheFile) {
  StartWith("[" + kLab + "]");
  // A pipe in the file's place: nothing a profile can be written into.
  QDir().mkpath(Folder());
  ASSERT_EQ(::mkfifo(QFile::encodeName(PathIn("pipe.vhx")).constData(), 0600), 0);
  dialogs.ChooseFile("pipe.vhx");
  dialogs.Answer(true);
  ClickSave();
  EXPECT_EQ(errors,
            QStringList{"Unable to write to " + PathIn("pipe.vhx") + ": it is not a regular file"});
  struct stat st;
  ASSERT_EQ(::stat(QFile::encodeName(PathIn("pipe.vhx")).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "still the pipe it was";
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "") << "no success reported";
  EXPECT_EQ(form->windowTitle(), "Varnholt V1.6");
}

TEST_F(Settings, EachDialogStartsAfreshInTheSettingsFolder) {
  StartWith("[" + kLab + "]");
  QTemporaryDir elsewhere;
  Save(elsewhere.filePath("away.vhx"));
  EXPECT_TRUE(QFileInfo::exists(elsewhere.filePath("away.vhx")));
  Load(elsewhere.filePath("away"));  // the open dialog adds the extension too
  dialogs.CancelFile();
  ClickSave();
  ASSERT_EQ(dialogs.fileDialogs.size(), 3);
  for (const SeenFileDialog& seen : dialogs.fileDialogs) {
    EXPECT_EQ(seen.directory, Folder());
    EXPECT_EQ(seen.typedName, "*.vhx");
  }
  EXPECT_EQ(dialogs.fileDialogs[1].objectName, "OpenDialog1");
  EXPECT_EQ(dialogs.fileDialogs[1].title, "Load camera settings");
  EXPECT_FALSE(dialogs.fileDialogs[1].acceptSave);
  EXPECT_EQ(dialogs.fileDialogs[1].filters, QStringList{"Varnholt Camera Settings (*.vhx)"});
  EXPECT_EQ(form->IniFileName(), elsewhere.filePath("away.vhx"));
}

TEST_F(Settings, CancelledLoadOnlyReReadsTheCamera) {
  StartWith("[" + kLab + "]");
  Probe("Lab").SetBrightness(77);  // another program
  const QString state = Written();
  dialogs.CancelFile();
  ClickLoad();
  EXPECT_EQ(Shown("Brightness"), std::make_pair(77.0f, false));
  EXPECT_EQ(Written(), state);
  EXPECT_TRUE(dialogs.messages.isEmpty());
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "");
}

TEST_F(Settings, ALoadCarriesTheFileToTheCameraThroughTheRows) {
  StartWith("[" + kLab + "]");
  Put("set.vhx",
      "[Lab]\nBrightness=200\nContrast=60\nWhiteBalance=5000\nCheckBoxWhiteBalance=0\n"
      "Exposure=-4\nCheckBoxExposure=1\nGain=40\nPowerFrequency=1\n");
  Load("set");
  EXPECT_EQ(dialogs.fileDialogs[0].title, "Load camera settings");
  EXPECT_EQ(form->IniFileName(), PathIn("set.vhx"));
  EXPECT_EQ(InCamera("Brightness"), std::make_pair(200, false));
  EXPECT_EQ(InCamera("Contrast"), std::make_pair(60, false));
  EXPECT_EQ(InCamera("Gain"), std::make_pair(40, false));
  EXPECT_EQ(InCamera("WhiteBalance"), std::make_pair(5000, false));
  EXPECT_EQ(InCamera("Exposure").second, true);
  EXPECT_EQ(Shown("WhiteBalance"), std::make_pair(5000.0f, false));
  EXPECT_TRUE(Row("WhiteBalance").TrackBar->isEnabled());
  EXPECT_EQ(Probe("Lab").PowerLineFrequency(), pf60Hz);
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), 1);
  EXPECT_EQ(Part<QLabel>(*form, "StatusLabel")->text(), "");
  EXPECT_EQ(Part<QLabel>(*form, "MessageLabel")->text(), "Loaded set.vhx");
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(Settings, AnAutomaticPropertyThatIsManualInTheFileEndsWithTheFilesValue) {
  StartWith("[" + kLab + "]");
  // While exposure runs automatically the camera sets it itself: a value
  // written meanwhile is overridden at once.
  QObject::connect(Row("Exposure").TrackBar, &TTrackBar::Change, [this] {
    TFCamera& camera = Probe("Lab");
    if (camera.ExposureAuto())
      camera.SetExposure(-8);
  });
  Put("manual.vhx",
      "[Lab]\nExposure=-3\nCheckBoxExposure=0\nWhiteBalance=3000\nCheckBoxWhiteBalance=0\n");
  Load("manual.vhx");
  EXPECT_EQ(InCamera("Exposure"), std::make_pair(-3, false));
  EXPECT_EQ(Shown("Exposure"), std::make_pair(-3.0f, false));
  EXPECT_EQ(InCamera("WhiteBalance"), std::make_pair(3000, false));
  EXPECT_EQ(Row("Exposure").ValueLabel->text(), "-3");
}

TEST_F(Settings, ASectionLackingKeysChangesOnlyWhatItHolds) {
  StartWith("[" + kLab + "]");
  Probe("Lab").SetPowerLineFrequency(pf60Hz);
  form->ComboBoxCameraChange(form.get());
  Put("one.vhx", "[Lab]\nBrightness=90\nCheckBoxExposure=0\n");
  Load("one.vhx");
  EXPECT_EQ(InCamera("Brightness"), std::make_pair(90, false));
  EXPECT_EQ(InCamera("Exposure").second, false) << "a tick without its value";
  EXPECT_EQ(InCamera("Contrast"), std::make_pair(50, false));
  EXPECT_EQ(InCamera("Gain"), std::make_pair(20, false));
  EXPECT_EQ(InCamera("WhiteBalance"), std::make_pair(4600, true));
  EXPECT_EQ(Shown("WhiteBalance"), std::make_pair(4600.0f, true));
  EXPECT_EQ(Probe("Lab").PowerLineFrequency(), pf60Hz);
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), 1);
  EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(Settings, ValuesAreLimitedToTheRangeAndSnappedToTheStep) {
  StartWith("[" + kLab + "]");
  Put("odd.vhx",
      "[Lab]\nBrightness=300\nContrast=-5\nGain=37\nWhiteBalance=4604\nCheckBoxWhiteBalance=1\n"
      "Exposure=-6\nCheckBoxExposure=1\n");
  Load("odd.vhx");
  EXPECT_EQ(InCamera("Brightness").first, 255);
  EXPECT_EQ(InCamera("Contrast").first, 10);
  EXPECT_EQ(InCamera("Gain").first, 40);
  EXPECT_EQ(InCamera("WhiteBalance"), std::make_pair(4600, true));
  // Values equal to what the rows showed went nowhere.
  EXPECT_FALSE(Written().contains("videoProcAmp.7 ")) << Written().toStdString();
  EXPECT_FALSE(Written().contains("cameraControl.4 ")) << Written().toStdString();
}

TEST_F(Settings, TwoCamerasShareAFileAndEachLoadsItsOwnSection) {
  StartWith("[" + kLab + "," + kBasic + "]");
  Save("two.vhx");
  SelectCamera(1);
  Probe("Basic").SetBrightness(-20);
  form->ComboBoxCameraChange(form.get());
  dialogs.ChooseFile("two.vhx");
  dialogs.Answer(true);
  ClickSave();
  // A row Basic lacks holds the slider's 0 within its last range, unticked.
  QMap<QByteArray, QByteArray> basic = {
      {"Brightness", "-20"}, {"Contrast", "10"}, {"WhiteBalance", "2800"}, {"Exposure", "-2"}};
  EXPECT_EQ(Content("two.vhx"),
            Section("Lab", kLabShown, "0") + "\n" + Section("Basic", basic, "0"));

  Probe("Basic").SetBrightness(5);
  Probe("Lab").SetBrightness(5);
  Load("two.vhx");
  EXPECT_EQ(InCamera("Brightness").first, -20);
  EXPECT_EQ(Probe("Lab").Brightness(), 5) << "only the selected camera loads";
  Probe("Basic").SetBrightness(5);
  SelectCamera(0);
  Load("two.vhx");
  EXPECT_EQ(InCamera("Brightness").first, 128);
  EXPECT_EQ(Probe("Basic").Brightness(), 5);
}

TEST_F(Settings, AFileForAnotherCameraChangesNothingAndSaysSo) {
  StartWith("[" + kLab + "]");
  Probe("Lab").SetPowerLineFrequency(pf60Hz);
  form->ComboBoxCameraChange(form.get());
  const QString before = Written();
  Put("Studio.vhx", Section("Other", {{"Brightness", "9"}, {"CheckBoxExposure", "1"}}, "1") +
                        "[Lab]\nNote=mine\n");  // nothing of ours either
  dialogs.ChooseFile("Studio.vhx");
  dialogs.Answer(true);
  ClickLoad();
  EXPECT_EQ(dialogs.messages, QStringList{"Information: Studio.vhx holds no settings for Lab"});
  EXPECT_EQ(Written(), before);
  EXPECT_EQ(Shown("Brightness"), std::make_pair(128.0f, false));
  EXPECT_EQ(Shown("Exposure"), std::make_pair(-6.0f, true));
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), 1);
}

TEST_F(Settings, FilesThatAreNoSettingsFilesAreRefusedWithTheReason) {
  StartWith("[" + kLab + "]");
  QDir().mkpath(Folder());
  ASSERT_EQ(::mkfifo(QFile::encodeName(PathIn("pipe.vhx")).constData(), 0600), 0);
  QByteArray junk(4096, Qt::Uninitialized);
  QRandomGenerator random(7);
  for (char& c : junk)
    c = char(random.bounded(256));
  Put("junk.vhx", "[Lab]\nBrightness=12\n" + junk);
  // 100 MB, sparse: beyond what a settings file can be.
  QFile huge(PathIn("huge.vhx"));
  ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
  huge.write("[Lab]\nBrightness=50\n");
  ASSERT_TRUE(huge.resize(100 * 1024 * 1024));
  huge.close();
  const QString before = Written();

  const auto refused = [this](const QString& name, std::function<void()> then = {}) {
    dialogs.ChooseFile(name, std::move(then));
    dialogs.Answer(true);
    ClickLoad();
  };
  refused("gone");
  // A folder put in the file's place once the dialog has accepted the name.
  refused("dir.vhx", [this] { QDir().mkpath(PathIn("dir.vhx")); });
  for (const char* name : {"pipe.vhx", "huge.vhx", "junk.vhx"})
    refused(name);
  EXPECT_EQ(dialogs.messages,
            (QStringList{"Information: Cannot load gone.vhx: the file does not exist",
                         "Information: Cannot load dir.vhx: it is a folder",
                         "Information: Cannot load pipe.vhx: it is not a regular file",
                         "Information: Cannot load huge.vhx: it is larger than 16 MiB",
                         "Information: Cannot load junk.vhx: it is not a settings file"}));
  EXPECT_EQ(Written(), before);
  EXPECT_EQ(Shown("Brightness"), std::make_pair(128.0f, false));
  EXPECT_EQ(Shown("WhiteBalance"), std::make_pair(4600.0f, true));
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();

  // Nor is such a file ever rewritten.
  dialogs.ChooseFile("huge.vhx");
  dialogs.Answer(true);
  ClickSave();
  EXPECT_EQ(errors,
            QStringList{"Unable to write to " + PathIn("huge.vhx") + ": it is larger than 16 MiB"});
  EXPECT_EQ(QFileInfo(PathIn("huge.vhx")).size(), 100 * 1024 * 1024);
}

TEST_F(Settings, PowerFrequencyIsWrittenWithoutTheControlAndIgnoredThen) {
  StartWith("[" + kBasic + "]");
  Save("basic.vhx");
  EXPECT_TRUE(Content("basic.vhx").endsWith("\nPowerFrequency=-1\n"));

  Put("basic.vhx", "[Basic]\nBrightness=3\nPowerFrequency=1\n");
  Load("basic.vhx");
  EXPECT_EQ(InCamera("Brightness").first, 3);
  EXPECT_FALSE(Written().contains("videoProcAmp.13")) << Written().toStdString();
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), -1);
}

TEST_F(Settings, PowerFrequencyIndicesThatNameNoEntry) {
  StartWith("[" + kLab + "]");
  Put("hex.vhx", "[Lab]\nPowerFrequency=0x1\n");
  Load("hex.vhx");
  EXPECT_EQ(Probe("Lab").PowerLineFrequency(), pf60Hz);

  Put("far.vhx", "[Lab]\nPowerFrequency=7\n");  // selection stays, written again
  Load("far.vhx");
  EXPECT_EQ(Probe("Lab").PowerLineFrequency(), pf60Hz);
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), 1);

  Put("none.vhx", "[Lab]\nPowerFrequency=-1\n");  // cleared, re-selected from the camera
  Load("none.vhx");
  EXPECT_EQ(Probe("Lab").PowerLineFrequency(), pf60Hz);
  EXPECT_EQ(Part<TListBox>(*form, "ComboBoxFrequency")->ItemIndex(), 1);
}

TEST_F(Settings, ATickTheDriverRefusesIsReportedUntickedAndTheLoadGoesOn) {
  StartWith("[" +
            Camera("Lab", R"({"WhiteBalance": )" + Property(2800, 6500, 4600, kAutomatic) + "}",
                   Formats({480}), R"({"Focus": )" + Property(0, 100, 30) + "}") +
            "]");
  Put("refuse.vhx",
      "[Lab]\nFocus=40\nCheckBoxFocus=1\nWhiteBalance=3000\nCheckBoxWhiteBalance=0\n");
  dialogs.ChooseFile("refuse.vhx");
  dialogs.Answer(true);
  ClickLoad();
  EXPECT_EQ(dialogs.messages,
            QStringList{"Information: Varnholt detected an inconsistent cam driver implementation. "
                        "Lab states this function is supported but returns an error when "
                        "accessing it"});
  EXPECT_FALSE(Row("Focus").CheckBox->isChecked());
  EXPECT_EQ(InCamera("Focus"), std::make_pair(40, false));
  EXPECT_EQ(InCamera("WhiteBalance"), std::make_pair(3000, false)) << "a later key still loads";
}

TEST_F(Settings, FilesOtherEditorsSaveLoadAsWritten) {
  StartWith("[" + kLab + "]");
  // UTF-16 with byte-order mark, CR LF, keys in other letter case, quotes,
  // blanks, comments and lines without "=".
  const QString text =
      "; saved elsewhere\r\n[ LAB ]\r\nno equals sign here\r\nbRIGHTNESS = 33 \r\n"
      "contrast=\"44\"\r\n=15\r\ncheckboxexposure=0\r\nEXPOSURE=-7\r\n";
  QByteArray utf16("\xFF\xFE", 2);
  for (QChar c : text)
    utf16.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
  Put("utf16.vhx", utf16);
  Load("utf16.vhx");
  EXPECT_EQ(InCamera("Brightness").first, 33);
  EXPECT_EQ(InCamera("Contrast").first, 44);
  EXPECT_EQ(InCamera("Exposure"), std::make_pair(-7, false));
  EXPECT_EQ(InCamera("Gain").first, 20) << "not in the file";
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

TEST_F(Settings, AbsurdNumbersLoadDefaultsWhereUnreadable) {
  StartWith("[" + kLab + "]");
  Put("absurd.vhx",
      "[Lab]\nBrightness=1e300\nContrast=NaN\nGain=0x\nWhiteBalance=inf\nExposure=-1e300\n"
      "CheckBoxWhiteBalance=yes\nCheckBoxExposure=0x\nPowerFrequency=1e3\n");
  Load("absurd.vhx");
  EXPECT_EQ(InCamera("Brightness").first, 255);
  EXPECT_EQ(InCamera("Contrast").first, 10);
  EXPECT_EQ(InCamera("Gain").first, 0);
  EXPECT_EQ(InCamera("WhiteBalance"), std::make_pair(2800, false));
  EXPECT_EQ(InCamera("Exposure"), std::make_pair(-11, false));
  EXPECT_EQ(Probe("Lab").PowerLineFrequency(), pf50Hz) << "selection kept, written again";
}

TEST_F(Settings, CameraNamesWithBracketsAndEqualSignsKeepToTheirOwnSections) {
  const QByteArray tricky = "Cam] x=[y";
  StartWith("[" + Camera(tricky, R"({"Brightness": )" + Property(0, 100, 40) + "}") + "," +
            Camera("Cam", R"({"Brightness": )" + Property(0, 100, 60) + "}") + "]");
  Put("names.vhx", "[Cam]\nBrightness=11\n");
  dialogs.ChooseFile("names.vhx");
  dialogs.Answer(true);
  ClickSave();
  EXPECT_TRUE(Content("names.vhx").startsWith("[Cam]\nBrightness=11\n\n[Cam] x=[y]\n"))
      << Content("names.vhx").toStdString();

  Probe(tricky).SetBrightness(1);
  Load("names.vhx");
  EXPECT_EQ(InCamera("Brightness").first, 40);
  SelectCamera(1);
  Load("names.vhx");
  EXPECT_EQ(InCamera("Brightness").first, 11);
}

TEST_F(Settings, CameraNamesThatWouldBreakTheFileAreRefusedWithAClearMessage) {
  StartWith(
      "[" +
      Camera("Evil\\n[Cam]\\nBrightness=99", R"({"Brightness": )" + Property(0, 100, 40) + "}") +
      "," + Camera("Nul\\u0000Cam", R"({"Brightness": )" + Property(0, 100, 40) + "}") + "]");
  const QByteArray before = "[Cam]\nBrightness=11\n";
  Put("evil.vhx", before);
  dialogs.ChooseFile("evil.vhx");
  dialogs.Answer(true);
  ClickSave();
  SelectCamera(1);
  dialogs.ChooseFile("evil.vhx");
  dialogs.Answer(true);
  ClickSave();
  EXPECT_EQ(errors, (QStringList{"Unable to write to " + PathIn("evil.vhx") +
                                     ": the section name \"Evil\\n[Cam]\\nBrightness=99\" holds a "
                                     "line break or another control character",
                                 "Unable to write to " + PathIn("evil.vhx") +
                                     ": the section name \"Nul\\u0000Cam\" holds a line break or "
                                     "another control character"}));
  EXPECT_EQ(Content("evil.vhx"), before);
  EXPECT_NE(Part<QLabel>(*form, "MessageLabel")->text(), "Settings saved");

  // Such a name reads nothing either, not even from a file that holds it.
  Put("nul.vhx", QByteArray("[Nul\0Cam]\nBrightness=70\n", 24));
  dialogs.ChooseFile("nul.vhx");
  dialogs.Answer(true);
  ClickLoad();
  EXPECT_EQ(dialogs.messages.last(), "Information: Cannot load nul.vhx: it is not a settings file");
  EXPECT_EQ(InCamera("Brightness").first, 40);
}

TEST_F(Settings, RestoreOnPlugInMarksTheFileLastSavedForTheSelectedCamera) {
  StartWith("[" + kLab + "," + Camera("Desk") + "]");
  auto* box = Part<QCheckBox>(*form, "RestoreOnPlugIn");
  auto* message = Part<QLabel>(*form, "MessageLabel");
  const TFVideoCaptureDevice lab{"Lab", {}, "lab"};
  ASSERT_TRUE(box->isEnabled());
  EXPECT_FALSE(box->isChecked());

  box->click();  // nothing saved or loaded yet: no file to mark
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(message->text(), "Save or load a settings file first");
  EXPECT_FALSE(TRestoreMarks().Find(lab));

  Save("lab");
  box->click();
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(message->text(), "Lab gets lab.vhx on plug-in");
  ASSERT_TRUE(TRestoreMarks().Find(lab));
  EXPECT_EQ(TRestoreMarks().Find(lab)->File, PathIn("lab.vhx"));

  // The box shows each camera's own mark.
  SelectCamera(1);
  EXPECT_FALSE(box->isChecked());
  SelectCamera(0);
  EXPECT_TRUE(box->isChecked());

  // Ticked, a save moves the mark to what was saved; unticking clears it.
  Save("lab-evening");
  EXPECT_EQ(TRestoreMarks().Find(lab)->File, PathIn("lab-evening.vhx"));
  box->click();
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(TRestoreMarks().Find(lab));
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
}

}  // namespace
}  // namespace varnholt::test
