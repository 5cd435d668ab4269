#include "camera/platform/directshow/ComThread.h"

#include "camera/platform/directshow/WinHeaders.h"

namespace varnholt::platform::directshow {
namespace {

class ThreadCom {
 public:
  ThreadCom() {
    const HRESULT code = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // RPC_E_CHANGED_MODE: the thread is in the multithreaded apartment
    // already, which serves us as well; that initialisation is not ours.
    ours_ = SUCCEEDED(code);
    result_ = (SUCCEEDED(code) || code == RPC_E_CHANGED_MODE) ? hr::Ok : HResult{code};
  }
  ~ThreadCom() {
    if (ours_)
      CoUninitialize();
  }
  HResult result() const { return result_; }

 private:
  bool ours_ = false;
  HResult result_ = hr::Ok;
};

}  // namespace

HResult EnsureCom() {
  thread_local const ThreadCom com;
  return com.result();
}

}  // namespace varnholt::platform::directshow
