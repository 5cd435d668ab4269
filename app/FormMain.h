#pragma once

// The main window: owns the camera component and the trace pane, restores
// its position and width from the window-state file at start and writes them
// back when it closes.

#include <QPlainTextEdit>
#include <QStringList>
#include <QWidget>

#include "camera/FCamera.h"

enum TCloseAction { caNone, caHide, caFree, caMinimize };

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  // The command line comes from the application unless given (program first).
  explicit TFormMain(QWidget* parent = nullptr);
  explicit TFormMain(const QStringList& arguments, QWidget* parent = nullptr);
  ~TFormMain() override;

  // ---- Handlers bound to the window's events ----
  void FormCreate(QObject* Sender);
  void FormCloseQuery(QObject* Sender, bool& CanClose);
  void FormClose(QObject* Sender, TCloseAction& Action);
  void FormResize(QObject* Sender);

  // ---- Operations ----
  void readini();
  void writeini();
  void LogMe(const QString& MyMessage);  // callers test TraceMode first; any thread

  // ---- Window state shared by the window's parts ----
  bool TraceMode = false;
  QString IniFileName;
  int LastResolutionIndex = 0;
  QString ResolutionText;

  // ---- Components ----
  TFCamera* FCamera = nullptr;
  QPlainTextEdit* Memo1 = nullptr;

  // The fixed outer size of the window and the defaults of the state file.
  static constexpr int kWindowHeight = 740;
  static constexpr int kDefaultWidth = 670;

 signals:
  // The window has closed; the application's loop ends with it.
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void CreateComponents();
  void SetOuterWidth(int width);
  void SetOuterHeight(int height);

  QStringList arguments_;
};
