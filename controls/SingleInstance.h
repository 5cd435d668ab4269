#pragma once

// TSingleInstance makes a program run as a single copy per user: when it is
// created it takes this user's lock named after the program's executable
// file name. A later start of the same name finds the lock held, asks the
// running copy to bring its window forward and, once that copy answers,
// asks the application to end; the application ends once its event loop
// starts, so the rest of start-up still runs. When the holder does not
// answer within a few seconds (stopped or hung), the later start runs on
// without the lock. The running copy, asked, shows its owner's window
// un-minimised, raised and active. The lock goes with the guard.

#include <QObject>
#include <memory>

namespace varnholt {
class UserLock;
}

class TSingleInstance : public QObject {
  Q_OBJECT

 public:
  explicit TSingleInstance(QObject* AOwner = nullptr);
  ~TSingleInstance() override;

 private:
  void BringForward();

  std::unique_ptr<varnholt::UserLock> lock_;
};
