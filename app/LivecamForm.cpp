#include "app/LivecamForm.h"

TLivecamForm* LivecamForm = nullptr;

TLivecamForm::TLivecamForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("LivecamForm");
  setWindowTitle("Webcam test");
  resize(897, 550);
}
