#pragma once

// The windows a dialog test looks into: a window's descendants with their
// classes and texts, and the top-level dialogs of this process.

#include <windows.h>

#include <string>
#include <vector>

namespace varnholt::window_tree {

struct ShownWindow {
  HWND window;
  std::wstring windowClass, text;
};

inline ShownWindow Describe(HWND window) {
  wchar_t windowClass[64] = {}, text[256] = {};
  GetClassNameW(window, windowClass, 64);
  GetWindowTextW(window, text, 256);
  return {window, windowClass, text};
}

inline std::vector<ShownWindow> Descendants(HWND parent) {
  std::vector<ShownWindow> found;
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM into) {
        reinterpret_cast<std::vector<ShownWindow>*>(into)->push_back(Describe(child));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The first descendant of that class, or null.
inline HWND FindDescendant(HWND parent, const std::wstring& windowClass) {
  for (const ShownWindow& child : Descendants(parent))
    if (_wcsicmp(child.windowClass.c_str(), windowClass.c_str()) == 0)
      return child.window;
  return nullptr;
}

// Whether a descendant's text is exactly text.
inline bool ShowsText(HWND parent, const std::wstring& text) {
  for (const ShownWindow& child : Descendants(parent))
    if (child.text == text)
      return true;
  return false;
}

// This process's visible top-level dialog windows (class "#32770"): where
// a modal frame opens.
inline std::vector<HWND> TopLevelDialogs() {
  std::vector<HWND> found;
  EnumWindows(
      [](HWND window, LPARAM into) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        // The class only: asking a text would wait for the window's thread.
        wchar_t windowClass[16] = {};
        GetClassNameW(window, windowClass, 16);
        if (process == GetCurrentProcessId() && IsWindowVisible(window) &&
            wcscmp(windowClass, L"#32770") == 0)
          reinterpret_cast<std::vector<HWND>*>(into)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// The trackbar's user: a key pressed and let go with the control focused.
inline void PressKey(HWND control, WPARAM key) {
  SendMessageW(control, WM_KEYDOWN, key, 0);
  SendMessageW(control, WM_KEYUP, key, 0xC0000001);
}

}  // namespace varnholt::window_tree
