#include "app/LivecamForm.h"

TLivecamForm* LivecamForm = nullptr;

TLivecamForm::TLivecamForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("LivecamForm");
  setWindowTitle("Webcam test");
  resize(897, 550);
}

TLivecamForm::~TLivecamForm() {
  // The main window asks for this window by the global; never let it dangle.
  if (LivecamForm == this)
    LivecamForm = nullptr;
}
