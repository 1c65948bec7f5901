// Helpers for tests on real windows under Wine: a plain test dialog made from
// the main template with a known background, message pumping, pixel reads and
// real mouse and keyboard input.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <functional>
#include <vector>

#include "app/window_messages.h"
#include "framework/dialog.h"
#include "framework/gdiplus_raii.h"
#include "resources/resource_ids.h"

namespace test {

// GDI+ for the whole test program.
class GdiplusEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { session_ = new GdiplusSession(); }
  void TearDown() override { delete session_; }

 private:
  GdiplusSession* session_ = nullptr;
};

// Handles every message waiting for this thread, for at least ms milliseconds.
inline void Pump(DWORD ms = 0) {
  DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (ms) ::Sleep(5);
  } while (::GetTickCount() - start < ms);
}

// The colour on screen at a client point of a top-level window (its children included).
inline COLORREF ReadPixel(HWND window, int x, int y) {
  HDC dc = ::GetDC(window);
  COLORREF color = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return color;
}

inline void Repaint(HWND window) {
  ::RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Pump(50);
}

// Real input: the pointer to a client point of window, and button presses.
inline void MoveMouseTo(HWND window, int x, int y) {
  POINT point{x, y};
  ::ClientToScreen(window, &point);
  ::SetCursorPos(point.x, point.y);
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(point.x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(point.y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  ::SendInput(1, &input, sizeof(input));
  Pump(30);
}

inline void MouseButton(bool down) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
  ::SendInput(1, &input, sizeof(input));
}

inline void ClickAt(HWND window, int x, int y) {
  MoveMouseTo(window, x, y);
  MouseButton(true);
  MouseButton(false);
  Pump(30);
}

inline void TypeKey(WORD key) {
  INPUT inputs[2]{};
  inputs[0].type = inputs[1].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = inputs[1].ki.wVk = key;
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, inputs, sizeof(INPUT));
}

inline bool SameColor(COLORREF a, COLORREF b, int tolerance = 2) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A dialog from the main template, sized and placed in code, that paints a known
// background (a solid colour, or vertical stripes whose colour changes every
// pixel column), reflects control notifications, toggles check boxes on
// UM_TOGGLE_CHECK and records the WM_NOTIFY codes it receives.
class TestDialog : public CDialogImpl {
 public:
  enum class Background { Solid, Stripes };

  explicit TestDialog(Background background = Background::Solid, COLORREF color = RGB(20, 200, 40))
      : background_(background), color_(color) {}

  bool Open(int width = 580, int height = 420) {
    if (!Create(nullptr, IDD_MAIN)) return false;
    ::SetWindowPos(m_hWnd, HWND_TOP, 40, 40, width, height, SWP_SHOWWINDOW);
    ::SetForegroundWindow(m_hWnd);
    Pump(50);
    return true;
  }

  // The colour the dialog paints at a client point.
  COLORREF BackgroundAt(int x, int) const {
    if (background_ == Background::Solid) return color_;
    return RGB((x * 7) % 256, (x * 13 + 50) % 256, (x * 3 + 100) % 256);
  }

  // answer WM_CTLCOLORSTATIC as the installer's window does: see-through text
  bool hollowStatics = false;
  std::vector<NMHDR> notifications;
  std::vector<WPARAM> toggles;
  std::function<void(UINT, WPARAM, LPARAM)> onCommand;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD) override {
    MessageDispatch<TestDialog> d(this, window, message, wParam, lParam, result);
    return d.Message(WM_ERASEBKGND, &TestDialog::OnErase) || d.Message(WM_PAINT, &TestDialog::OnPaint) ||
           d.Message(WM_PRINTCLIENT, &TestDialog::OnPaint) || d.Message(UM_TOGGLE_CHECK, &TestDialog::OnToggle) ||
           d.Message(WM_NOTIFY, &TestDialog::OnNotify) ||
           (hollowStatics && d.Message(WM_CTLCOLORSTATIC, &TestDialog::OnCtlColorStatic)) || d.Reflect();
  }

 private:
  LRESULT OnErase(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

  LRESULT OnCtlColorStatic(UINT, WPARAM wParam, LPARAM, BOOL&) {
    ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return reinterpret_cast<LRESULT>(::GetStockObject(HOLLOW_BRUSH));
  }

  void Paint(HDC dc) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    int columns = background_ == Background::Solid ? 1 : client.right;
    for (int x = 0; x < columns; ++x) {
      RECT area{x, 0, background_ == Background::Solid ? client.right : x + 1, client.bottom};
      HBRUSH brush = ::CreateSolidBrush(BackgroundAt(x, 0));
      ::FillRect(dc, &area, brush);
      ::DeleteObject(brush);
    }
  }

  LRESULT OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
    if (wParam) {
      Paint(reinterpret_cast<HDC>(wParam));
    } else {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(m_hWnd, &ps);
      Paint(dc);
      ::EndPaint(m_hWnd, &ps);
    }
    return 0;
  }

  LRESULT OnToggle(UINT, WPARAM wParam, LPARAM, BOOL&) {
    toggles.push_back(wParam);
    HWND box = ::GetDlgItem(m_hWnd, static_cast<int>(1000 + wParam));
    if (box) {
      bool checked = ::SendMessageW(box, BM_GETCHECK, 0, 0) > 0;
      ::SendMessageW(box, BM_SETCHECK, checked ? BST_UNCHECKED : BST_CHECKED, 0);
    }
    return 0;
  }

  // records, then lets the notification go on to reflection
  LRESULT OnNotify(UINT, WPARAM, LPARAM lParam, BOOL& handled) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code != static_cast<UINT>(NM_CUSTOMDRAW)) notifications.push_back(*header);
    handled = FALSE;
    return 0;
  }

  Background background_;
  COLORREF color_;
};

}  // namespace test
