// The file dialog component: its settings reach the dialog, a typed name
// gets the default extension, cancelling answers false.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include "controls/FileDialog.h"
#include "tests/support/TestEnvironment.h"

namespace varnholt::test {
namespace {

TEST(FileDialogTest, ATypedNameGetsTheDefaultExtensionInTheInitialFolder) {
  QTemporaryDir folder;
  QWidget window;
  TFileDialog save(TFileDialog::Kind::Save, &window);
  save.SetTitle("Save camera settings");
  save.SetFilter("Varnholt Camera Settings (*.vhx)");
  save.SetDefaultExt("vhx");
  save.SetInitialDir(folder.path());
  QString title, filter, directory;
  const ModalAnswer<QFileDialog> answer([&](QFileDialog& dialog) {
    title = dialog.windowTitle();
    filter = dialog.nameFilters().join(';');
    directory = dialog.directory().path();
    dialog.selectFile("mine");
    static_cast<QDialog&>(dialog).accept();
  });
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), folder.filePath("mine.vhx"));
  EXPECT_EQ(title, "Save camera settings");
  EXPECT_EQ(filter, "Varnholt Camera Settings (*.vhx)");
  EXPECT_EQ(directory, folder.path());
}

TEST(FileDialogTest, AnOpenDialogAcceptsANameThatDoesNotExistAndCancelAnswersFalse) {
  QTemporaryDir folder;
  TFileDialog open(TFileDialog::Kind::Open);
  open.SetDefaultExt("vhx");
  open.SetInitialDir(folder.path());
  const ModalAnswer<QFileDialog> answer([](QFileDialog& dialog) {
    dialog.selectFile("missing.vhx");
    static_cast<QDialog&>(dialog).accept();
  });
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(open.FileName(), folder.filePath("missing.vhx"));

  const ModalAnswer<QFileDialog> cancel([](QFileDialog& dialog) { dialog.reject(); });
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(open.FileName(), folder.filePath("missing.vhx"));  // kept
}

TEST(FileDialogTest, ADialogRemembersNoFolderOfAnEarlierOne) {
  QTemporaryDir first, second;
  TFileDialog open(TFileDialog::Kind::Open);
  open.SetInitialDir(first.path());
  const ModalAnswer<QFileDialog> answer([&](QFileDialog& dialog) {
    dialog.setDirectory(second.path());  // the user looks elsewhere, then cancels
    dialog.reject();
  });
  EXPECT_FALSE(open.Execute());

  TFileDialog again(TFileDialog::Kind::Open);
  again.SetInitialDir(first.path());
  QStringList history;
  QString directory;
  const ModalAnswer<QFileDialog> look([&](QFileDialog& dialog) {
    history = dialog.history();
    directory = dialog.directory().path();
    dialog.reject();
  });
  EXPECT_FALSE(again.Execute());
  EXPECT_FALSE(history.contains(second.path())) << history.join(", ").toStdString();
  EXPECT_EQ(directory, first.path());
}

}  // namespace
}  // namespace varnholt::test
