#include "controls/FileDialog.h"

#include <QFileDialog>
#include <QWidget>

namespace varnholt {
namespace {

QWidget* WindowOf(QObject* object) {
  for (; object; object = object->parent())
    if (object->isWidgetType())
      return static_cast<QWidget*>(object)->window();
  return nullptr;
}

}  // namespace

TFileDialog::TFileDialog(Kind kind, QObject* parent) : QObject(parent), kind_(kind) {}

bool TFileDialog::Execute() {
  QFileDialog dialog(WindowOf(parent()), title_, initialDir_, filter_);
  dialog.setObjectName(objectName());
  dialog.setDefaultSuffix(defaultExt_);
  if (kind_ == Kind::Open) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
  }
  // Qt keeps the folders of earlier dialogs in its own settings; ours
  // remember nothing and always start in the folder the caller gives.
  dialog.setHistory({});
  if (!fileName_.isEmpty())
    dialog.selectFile(fileName_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return false;
  fileName_ = dialog.selectedFiles().first();
  return true;
}

}  // namespace varnholt
