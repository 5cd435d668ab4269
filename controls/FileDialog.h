#pragma once

// TFileDialog is a file dialog kept as a component of its window: its
// title, filter, default extension, initial folder and file name are set
// once by the design and by the code that uses it; Execute shows the
// dialog modally and answers whether the user chose a file.

#include <QObject>
#include <QString>

class QWidget;

namespace varnholt {

class TFileDialog : public QObject {
  Q_OBJECT

 public:
  enum class Kind { Open, Save };

  TFileDialog(Kind kind, QObject* parent = nullptr);

  Kind DialogKind() const { return kind_; }
  QString Title() const { return title_; }
  void SetTitle(const QString& title) { title_ = title; }
  // In Qt's form, for example "Varnholt Camera Settings (*.vhx)".
  QString Filter() const { return filter_; }
  void SetFilter(const QString& filter) { filter_ = filter; }
  // Appended when the user types a name without extension.
  QString DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const QString& ext) { defaultExt_ = ext; }
  QString InitialDir() const { return initialDir_; }
  void SetInitialDir(const QString& dir) { initialDir_ = dir; }
  // Before Execute: the name offered; after it: the chosen file's full path.
  QString FileName() const { return fileName_; }
  void SetFileName(const QString& name) { fileName_ = name; }

  // Shows the dialog over the window the component lives in. An open
  // dialog accepts names of files that do not exist; a save dialog asks no
  // overwrite question (its caller does).
  bool Execute();

 private:
  Kind kind_;
  QString title_;
  QString filter_;
  QString defaultExt_;
  QString initialDir_;
  QString fileName_;
};

}  // namespace varnholt
