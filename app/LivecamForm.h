#pragma once

// The camera test window: shows the selected camera live at the selected
// format. Hidden until a test starts; hidden, not destroyed, when closed.
// The main window moves its paint box into CameraPanel at the first start
// and drives everything else; this window only keeps Tag, which says
// whether it is showing (the keep-synced refresh pauses while it is).
// RecordButton and RecordTime are the main window's too: it records what
// the test shows.

#include <QLabel>
#include <QPushButton>
#include <QWidget>

namespace varnholt {
class TImage;
}

class TLivecamForm : public QWidget {
  Q_OBJECT

 public:
  explicit TLivecamForm(QWidget* parent = nullptr);
  ~TLivecamForm() override;

  // ---- Handlers ----
  void FormShow(QObject* Sender);
  void FormClose(QObject* Sender);
  void ButtonCloseClick(QObject* Sender);

  // Moves the window beside owner: to its right when the screen has room
  // there, else to its left, else wherever the screen holds it whole.
  void PlaceBeside(const QWidget* owner);

  // 1 while the window is showing, 0 otherwise.
  int Tag = 0;

  // ---- Components ----
  QWidget* CameraPanel = nullptr;
  varnholt::TImage* close = nullptr;
  varnholt::TImage* closedown = nullptr;
  QPushButton* ButtonClose = nullptr;
  // Checked while the camera test records into a file.
  QPushButton* RecordButton = nullptr;
  // The recording's length so far; hidden while nothing records.
  QLabel* RecordTime = nullptr;

  // The client size of the design, before any test sets its own.
  static constexpr int kDesignWidth = 897;
  static constexpr int kDesignHeight = 550;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
};
