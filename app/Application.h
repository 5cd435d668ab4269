#pragma once

// The program's application object: the windows are registered for creation
// in order, created when the event loop starts (the first one becomes the
// main window and is shown), and live until the process ends. Closing the
// main window ends the loop. A request to end (the single-copy guard's,
// made while the main window is being created) takes effect when the loop
// starts: start-up still completes, but no window is shown.

#include <QString>
#include <QWidget>
#include <functional>

#include <memory>
#include <vector>
#include "controls/QuitRequest.h"

namespace varnholt {

class Application {
 public:
  Application();
  ~Application();

  // Registers a window class; instance receives the window once created.
  template <class T>
  void CreateForm(T*& instance) {
    factories_.push_back([&instance] {
      instance = new T();
      return static_cast<QWidget*>(instance);
    });
  }

  // Creates the registered windows in order once the loop runs, shows the
  // first, and serves events until the application is asked to end.
  int Run();

  // Creates the registered windows now (what Run does first); answers the
  // main window. For tests that drive the windows without a loop.
  QWidget* CreateForms();

  // Asks the running loop to end, also when asked before it has started.
  void Terminate();
  bool Terminated() const { return terminated_; }

  static Application* Instance();

  // The application title shown in captions and dialogs.
  static QString Title();
  static void SetTitle(const QString& title);

 private:
  std::vector<std::function<QWidget*()>> factories_;
  std::vector<QWidget*> forms_;
  bool terminated_ = false;
  QuitHandler previousQuit_;
};

// The program entry: the three windows on the chosen capture platform.
int RunVarnholt(int argc, char** argv);

}  // namespace varnholt
