#include "camera/platform/directshow/vcam/PropertyPage.h"

#include <commctrl.h>
#include <dshow.h>
#include <ocidl.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "camera/platform/directshow/vcam/CameraTable.h"
#include "camera/platform/directshow/vcam/ComSupport.h"
#include "camera/platform/directshow/vcam/Registration.h"

namespace varnholt::vcam {
namespace {

constexpr wchar_t kTitle[] = L"Camera";
constexpr int kNameId = 100, kSliderId = 101, kValueId = 102;
// The page's size in dialog units.
constexpr short kWidth = 200, kHeight = 48;

// An in-memory dialog template: the DLL carries no resources.
class DialogTemplate {
 public:
  DialogTemplate(DWORD style, short cx, short cy) {
    Dword(style | DS_SETFONT);
    Dword(0);             // extended style
    words_.push_back(0);  // item count, counted in Item
    Rect(0, 0, cx, cy);
    words_.push_back(0);  // no menu
    words_.push_back(0);  // the standard dialog class
    words_.push_back(0);  // no title
    words_.push_back(8);  // point size
    Text(L"MS Shell Dlg");
  }
  void Item(const wchar_t* windowClass, const wchar_t* text, int id, DWORD style, short x, short y,
            short cx, short cy) {
    if (words_.size() % 2)
      words_.push_back(0);  // items start on a DWORD
    Dword(style | WS_CHILD | WS_VISIBLE);
    Dword(0);
    Rect(x, y, cx, cy);
    words_.push_back(static_cast<WORD>(id));
    Text(windowClass);
    Text(text);
    words_.push_back(0);  // no creation data
    ++words_[4];
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Dword(DWORD value) {
    words_.push_back(LOWORD(value));
    words_.push_back(HIWORD(value));
  }
  void Rect(short x, short y, short cx, short cy) {
    for (const short value : {x, y, cx, cy})
      words_.push_back(static_cast<WORD>(value));
  }
  void Text(const wchar_t* text) { words_.insert(words_.end(), text, text + wcslen(text) + 1); }
  std::vector<WORD> words_;
};

class PropertyPage final : public IPropertyPage, private RefCounted {
 public:
  ~PropertyPage() override {
    if (window_)
      DestroyWindow(window_);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out)
      return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyPage))
      return Answer<IPropertyPage>(this, out);
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddOne(); }
  ULONG STDMETHODCALLTYPE Release() override { return DropOne(); }

  HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override {
    site_ = ComRef<IPropertyPageSite>::Share(site);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL) override {
    if (!rect)
      return E_POINTER;
    if (window_)
      return E_UNEXPECTED;
    const INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    DialogTemplate dialog(WS_CHILD | DS_CONTROL, kWidth, kHeight);
    dialog.Item(L"STATIC", L"", kNameId, SS_LEFT | SS_NOPREFIX, 7, 7, kWidth - 14, 10);
    dialog.Item(L"STATIC", L"Brightness", -1, SS_LEFT, 7, 26, 40, 10);
    dialog.Item(TRACKBAR_CLASSW, L"", kSliderId, TBS_HORZ | WS_TABSTOP, 50, 23, 100, 15);
    dialog.Item(L"STATIC", L"", kValueId, SS_RIGHT, 153, 26, 40, 10);
    window_ = CreateDialogIndirectParamW(ThisModule(), dialog.Get(), parent, &DialogProc,
                                         reinterpret_cast<LPARAM>(this));
    if (!window_) {
      const DWORD error = GetLastError();
      return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    return Move(rect);
  }

  HRESULT STDMETHODCALLTYPE Deactivate() override {
    if (!window_)
      return E_UNEXPECTED;
    DestroyWindow(window_);
    window_ = nullptr;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override {
    if (!info)
      return E_POINTER;
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof kTitle));
    if (!info->pszTitle)
      return E_OUTOFMEMORY;
    std::memcpy(info->pszTitle, kTitle, sizeof kTitle);
    // In pixels; the frame sizes itself to hold it.
    const LONG units = GetDialogBaseUnits();
    info->size = {MulDiv(kWidth, LOWORD(units), 4), MulDiv(kHeight, HIWORD(units), 8)};
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override {
    procAmp_ = {};
    camera_.clear();
    hasBrightness_ = dirty_ = false;
    if (count == 0)
      return S_OK;
    if (!objects || !objects[0])
      return E_POINTER;
    // The filter's class says which camera it is.
    ComRef<IPersist> persist;
    CLSID id{};
    if (FAILED(objects[0]->QueryInterface(IID_IPersist, persist.PutVoid())) ||
        FAILED(persist->GetClassID(&id)))
      return E_NOINTERFACE;
    const auto camera = CameraOfClassId(id);
    if (!camera)
      return E_NOINTERFACE;
    camera_ = Cameras()[*camera].friendlyName;
    // A camera without brightness still shows its name.
    LONG step = 0, defaultValue = 0, caps = 0, flags = 0;
    if (SUCCEEDED(objects[0]->QueryInterface(IID_IAMVideoProcAmp, procAmp_.PutVoid())))
      hasBrightness_ = SUCCEEDED(procAmp_->GetRange(VideoProcAmp_Brightness, &min_, &max_, &step,
                                                    &defaultValue, &caps)) &&
                       SUCCEEDED(procAmp_->Get(VideoProcAmp_Brightness, &value_, &flags));
    step_ = step > 0 ? step : 1;
    Fill();
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Show(UINT command) override {
    if (!window_)
      return E_UNEXPECTED;
    ShowWindow(window_, static_cast<int>(command));
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override {
    if (!rect)
      return E_POINTER;
    if (!window_)
      return E_UNEXPECTED;
    MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
               TRUE);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }

  HRESULT STDMETHODCALLTYPE Apply() override {
    if (!dirty_)
      return S_OK;
    if (!procAmp_)
      return E_UNEXPECTED;
    if (const HRESULT hr =
            procAmp_->Set(VideoProcAmp_Brightness, value_, VideoProcAmp_Flags_Manual);
        FAILED(hr))
      return hr;  // stays dirty: the value was not taken
    dirty_ = false;
    if (site_)
      site_->OnStatusChange(PROPPAGESTATUS_CLEAN);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Help(LPCOLESTR) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override {
    if (!message)
      return E_POINTER;
    return window_ && IsDialogMessageW(window_, message) ? S_OK : S_FALSE;
  }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
      SetWindowLongPtrW(window, DWLP_USER, lparam);
      auto* page = reinterpret_cast<PropertyPage*>(lparam);
      page->window_ = window;
      page->Fill();
      return FALSE;  // the frame keeps the focus where it is
    }
    auto* page = reinterpret_cast<PropertyPage*>(GetWindowLongPtrW(window, DWLP_USER));
    if (message == WM_HSCROLL && page &&
        reinterpret_cast<HWND>(lparam) == GetDlgItem(window, kSliderId)) {
      page->SliderMoved();
      return TRUE;
    }
    return FALSE;
  }

  // Shows the objects' camera and the value the page holds.
  void Fill() {
    if (!window_)
      return;
    SetDlgItemTextW(window_, kNameId, camera_.c_str());
    const HWND slider = GetDlgItem(window_, kSliderId);
    EnableWindow(slider, hasBrightness_);
    if (hasBrightness_) {
      SendMessageW(slider, TBM_SETRANGEMIN, FALSE, min_);
      SendMessageW(slider, TBM_SETRANGEMAX, FALSE, max_);
      SendMessageW(slider, TBM_SETLINESIZE, 0, step_);
      SendMessageW(slider, TBM_SETPAGESIZE, 0, step_ * 10);
      SendMessageW(slider, TBM_SETPOS, TRUE, value_);
    }
    SetDlgItemTextW(window_, kValueId,
                    hasBrightness_ ? std::to_wstring(value_).c_str() : L"not offered");
  }

  void SliderMoved() {
    const LONG position =
        static_cast<LONG>(SendDlgItemMessageW(window_, kSliderId, TBM_GETPOS, 0, 0));
    // The camera takes whole steps from its minimum only.
    const LONG value = min_ + (position - min_) / step_ * step_;
    if (!hasBrightness_ || value == value_)
      return;
    value_ = value;
    dirty_ = true;
    SetDlgItemTextW(window_, kValueId, std::to_wstring(value_).c_str());
    if (site_)
      site_->OnStatusChange(PROPPAGESTATUS_DIRTY);
  }

  ComRef<IPropertyPageSite> site_;
  ComRef<IAMVideoProcAmp> procAmp_;
  std::wstring camera_;
  bool hasBrightness_ = false;
  bool dirty_ = false;
  LONG min_ = 0, max_ = 0, step_ = 1, value_ = 0;
  HWND window_ = nullptr;
};

}  // namespace

HRESULT CreatePropertyPage(REFIID iid, void** out) {
  auto* page = new PropertyPage;
  const HRESULT hr = page->QueryInterface(iid, out);
  page->Release();
  return hr;
}

}  // namespace varnholt::vcam
