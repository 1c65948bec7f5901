#include "framework/hyperlink.h"

#include <commctrl.h>
#include <shellapi.h>

BOOL CHyperLink::SubclassWindow(HWND window) {
  if (!normalFont_ && ::IsWindow(window)) {
    normalFont_ = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
  }
  if (!CWindowImpl::SubclassWindow(window)) return FALSE;
  // without SS_NOTIFY a static lets clicks fall through to its parent
  ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, ::GetWindowLongPtrW(m_hWnd, GWL_STYLE) | SS_NOTIFY);
  linkCursor_ = ::LoadCursorW(nullptr, IDC_HAND);
  if (label_.empty()) {
    int length = ::GetWindowTextLengthW(m_hWnd);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::GetWindowTextW(m_hWnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    label_ = text;
  }
  MakeFonts();
  MeasureText();
  return TRUE;
}

BOOL CHyperLink::SetLabel(const wchar_t* label) {
  label_ = label ? label : L"";
  if (m_hWnd) {
    ::SetWindowTextW(m_hWnd, label_.c_str());
    MeasureText();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
  }
  return TRUE;
}

BOOL CHyperLink::SetHyperLink(const wchar_t* address) {
  address_ = address ? address : L"";
  return TRUE;
}

void CHyperLink::MakeFonts() {
  if (!normalFont_) {
    LOGFONTW iconTitle{};
    if (::SystemParametersInfoW(SPI_GETICONTITLELOGFONT, sizeof(iconTitle), &iconTitle, 0)) {
      iconTitleFont_.reset(::CreateFontIndirectW(&iconTitle));
    }
    normalFont_ = iconTitleFont_.get();
  }
  LOGFONTW link{};
  if (normalFont_ && ::GetObjectW(normalFont_, sizeof(link), &link) == sizeof(link)) {
    link.lfUnderline = TRUE;
    linkFont_.reset(::CreateFontIndirectW(&link));
  }
}

void CHyperLink::MeasureText() {
  if (!m_hWnd) return;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  ScopedGetDC dc(m_hWnd);
  if (!dc.get()) return;
  ScopedSelectObject font(dc.get(),
                          linkFont_ ? static_cast<HGDIOBJ>(linkFont_.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
  RECT text = client;
  ::DrawTextW(dc.get(), label_.c_str(), -1, &text, DT_LEFT | DT_WORDBREAK | DT_CALCRECT);
  // the host's client area bounds what can be clicked
  ::IntersectRect(&textRect_, &text, &client);
}

bool CHyperLink::PointInText(LPARAM lParam) const {
  POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
  return ::PtInRect(&textRect_, point) != FALSE;
}

BOOL CHyperLink::Navigate() {
  if (!m_hWnd) return FALSE;
  if (extendedStyle_ & HLINK_NOTIFYBUTTON) {
    NMHDR header{};
    header.hwndFrom = m_hWnd;
    header.idFrom = static_cast<UINT_PTR>(::GetDlgCtrlID(m_hWnd));
    header.code = static_cast<UINT>(NM_CLICK);
    ::SendMessageW(::GetParent(m_hWnd), WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    return TRUE;
  }
  if (address_.empty()) return FALSE;
  auto code =
      reinterpret_cast<INT_PTR>(::ShellExecuteW(nullptr, L"open", address_.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return code > 32;
}

void CHyperLink::Paint(HDC dc) {
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  ScopedSelectObject font(dc, linkFont_ ? static_cast<HGDIOBJ>(linkFont_.get()) : ::GetStockObject(DEFAULT_GUI_FONT));
  int previousMode = ::SetBkMode(dc, TRANSPARENT);
  COLORREF color = ::IsWindowEnabled(m_hWnd) ? kLinkColor : ::GetSysColor(COLOR_GRAYTEXT);
  COLORREF previousColor = ::SetTextColor(dc, color);
  ::DrawTextW(dc, label_.c_str(), -1, &client, DT_LEFT | DT_WORDBREAK);
  if (::GetFocus() == m_hWnd) ::DrawFocusRect(dc, &textRect_);
  ::SetTextColor(dc, previousColor);
  ::SetBkMode(dc, previousMode);
}

LRESULT CHyperLink::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
  PaintClient(m_hWnd, wParam, [this](HDC dc) { Paint(dc); });
  return 0;
}

LRESULT CHyperLink::OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&) {
  // the parent chooses the background, as for any static control
  auto dc = reinterpret_cast<HDC>(wParam);
  auto brush = reinterpret_cast<HBRUSH>(
      ::SendMessageW(::GetParent(m_hWnd), WM_CTLCOLORSTATIC, wParam, reinterpret_cast<LPARAM>(m_hWnd)));
  if (brush) {
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    ::FillRect(dc, &client, brush);
  }
  return 1;
}

LRESULT CHyperLink::OnFocus(UINT, WPARAM, LPARAM, BOOL&) {
  // with a see-through background the old focus rectangle only goes when the
  // parent's picture under the link is painted again
  RECT rect{};
  ::GetWindowRect(m_hWnd, &rect);
  HWND parent = ::GetParent(m_hWnd);
  ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&rect), 2);
  ::RedrawWindow(parent, &rect, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return 0;
}

LRESULT CHyperLink::OnButtonDown(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (PointInText(lParam)) {
    ::SetFocus(m_hWnd);
    ::SetCapture(m_hWnd);
  }
  return 0;
}

LRESULT CHyperLink::OnButtonUp(UINT, WPARAM, LPARAM lParam, BOOL&) {
  if (::GetCapture() == m_hWnd) {
    ::ReleaseCapture();
    if (PointInText(lParam)) Navigate();
  }
  return 0;
}

LRESULT CHyperLink::OnChar(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
  if (wParam == VK_RETURN || wParam == VK_SPACE) {
    Navigate();
    return 0;
  }
  handled = FALSE;
  return 0;
}

LRESULT CHyperLink::OnGetDlgCode(UINT, WPARAM, LPARAM lParam, BOOL&) {
  // keep Enter from the dialog manager (which would press the default button)
  const auto* message = reinterpret_cast<const MSG*>(lParam);
  LRESULT code = DLGC_WANTCHARS;
  if (message && message->message == WM_KEYDOWN && message->wParam == VK_RETURN) code |= DLGC_WANTMESSAGE;
  return code;
}

LRESULT CHyperLink::OnSetCursor(UINT, WPARAM, LPARAM, BOOL& handled) {
  POINT point{};
  ::GetCursorPos(&point);
  ::ScreenToClient(m_hWnd, &point);
  if (linkCursor_ && ::PtInRect(&textRect_, point)) {
    ::SetCursor(linkCursor_);
    return TRUE;
  }
  handled = FALSE;
  return 0;
}

LRESULT CHyperLink::OnSetFont(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  LRESULT result = DefWindowProc(message, wParam, lParam);
  if (wParam) {
    normalFont_ = reinterpret_cast<HFONT>(wParam);
    MakeFonts();
    MeasureText();
  }
  return result;
}

LRESULT CHyperLink::OnSize(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  LRESULT result = DefWindowProc(message, wParam, lParam);
  MeasureText();
  return result;
}

LRESULT CHyperLink::OnEnable(UINT, WPARAM, LPARAM, BOOL&) {
  ::InvalidateRect(m_hWnd, nullptr, TRUE);
  return 0;
}

BOOL CHyperLink::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result, DWORD) {
  MessageDispatch<CHyperLink> d(this, window, message, wParam, lParam, result);
  return d.Message(WM_PAINT, &CHyperLink::OnPaint) || d.Message(WM_PRINTCLIENT, &CHyperLink::OnPaint) ||
         d.Message(WM_ERASEBKGND, &CHyperLink::OnEraseBackground) || d.Message(WM_SETFOCUS, &CHyperLink::OnFocus) ||
         d.Message(WM_KILLFOCUS, &CHyperLink::OnFocus) || d.Message(WM_LBUTTONDOWN, &CHyperLink::OnButtonDown) ||
         d.Message(WM_LBUTTONUP, &CHyperLink::OnButtonUp) || d.Message(WM_CHAR, &CHyperLink::OnChar) ||
         d.Message(WM_GETDLGCODE, &CHyperLink::OnGetDlgCode) || d.Message(WM_SETCURSOR, &CHyperLink::OnSetCursor) ||
         d.Message(WM_SETFONT, &CHyperLink::OnSetFont) || d.Message(WM_SIZE, &CHyperLink::OnSize) ||
         d.Message(WM_ENABLE, &CHyperLink::OnEnable) || d.DefaultReflection();
}
