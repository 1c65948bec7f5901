#include "ui/bitmap_edit.h"

WindowClassSpec CBitmapEdit::GetWindowClassSpec() const {
  WindowClassSpec classSpec;
  classSpec.className = L"WTL_BitmapEditControl";
  classSpec.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  classSpec.background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  classSpec.cursor = IDC_ARROW;
  return classSpec;
}

int CBitmapEdit::FitToImage() {
  if (!frameImage || !m_hWnd) return 0;
  RECT client{};
  RECT window{};
  ::GetClientRect(m_hWnd, &client);
  ::GetWindowRect(m_hWnd, &window);
  // the frame, if any, is added around the image's size
  const int extraWidth = (window.right - window.left) - client.right;
  const int extraHeight = (window.bottom - window.top) - client.bottom;
  ::SetWindowPos(m_hWnd, nullptr, 0, 0, static_cast<int>(frameImage->Width()) + extraWidth,
                 static_cast<int>(frameImage->Height()) + extraHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 1;
}

LRESULT CBitmapEdit::OnCreate(UINT message, WPARAM wParam, LPARAM lParam, BOOL&) {
  innerEdit = ::CreateWindowExW(0, L"EDIT", L"", innerEditStyle, 1, 1, 0, 0, m_hWnd,
                                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(innerEditId)),
                                ::GetModuleHandleW(nullptr), nullptr);
  return DefWindowProc(message, wParam, lParam);
}

LRESULT CBitmapEdit::OnEraseBackground(UINT, WPARAM, LPARAM, BOOL&) {
  return 0;
}

void CBitmapEdit::Paint(HDC dc) {
  if (!::IsWindowVisible(parentWindow)) return;
  RECT client{};
  ::GetClientRect(m_hWnd, &client);
  Gdiplus::GpGraphics* raw = nullptr;
  gp::GdipCreateFromHDC(dc, &raw);
  UniqueGdiplusGraphics graphics(raw);
  if (!graphics) return;
  Gdiplus::GpTexture* texture = background_.texture();
  if (!texture) texture = background_.Capture(m_hWnd, parentWindow);
  if (texture) {
    gp::GdipFillRectangleI(graphics.get(), reinterpret_cast<Gdiplus::GpBrush*>(texture), 0, 0, client.right,
                           client.bottom);
  }
  if (frameImage && frameImage->get()) {
    gp::GdipDrawImageRectI(graphics.get(), frameImage->get(), 0, 0, client.right, client.bottom);
  }
  if (innerEdit) {
    ::MoveWindow(innerEdit, innerRect.left, innerRect.top, innerRect.right - innerRect.left,
                 innerRect.bottom - innerRect.top, TRUE);
    ::ShowWindow(innerEdit, SW_SHOW);
  }
}

LRESULT CBitmapEdit::OnPaint(UINT, WPARAM wParam, LPARAM, BOOL&) {
  PaintClient(m_hWnd, wParam, [this](HDC dc) { Paint(dc); });
  return 0;
}

LRESULT CBitmapEdit::OnMoveOrSize(UINT, WPARAM, LPARAM, BOOL&) {
  // what lies under the box has changed: the next paint and colour message capture again
  background_.Reset();
  editBackground_.Reset();
  return 1;
}

LRESULT CBitmapEdit::OnControlColor(UINT, WPARAM wParam, LPARAM, BOOL&) {
  auto dc = reinterpret_cast<HDC>(wParam);
  ::SetTextColor(dc, textColor);
  ::SetBkMode(dc, TRANSPARENT);
  if (editBackground_.empty()) editBackground_.Capture(innerEdit, m_hWnd);
  return reinterpret_cast<LRESULT>(editBackground_.patternBrush());
}

BOOL CBitmapEdit::ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                       DWORD) {
  MessageDispatch<CBitmapEdit> d(this, window, message, wParam, lParam, result);
  return d.Message(WM_CREATE, &CBitmapEdit::OnCreate) || d.Message(WM_ERASEBKGND, &CBitmapEdit::OnEraseBackground) ||
         d.Message(WM_PAINT, &CBitmapEdit::OnPaint) || d.Message(WM_PRINTCLIENT, &CBitmapEdit::OnPaint) ||
         d.Message(WM_MOVE, &CBitmapEdit::OnMoveOrSize) || d.Message(WM_SIZE, &CBitmapEdit::OnMoveOrSize) ||
         d.Message(WM_CTLCOLOREDIT, &CBitmapEdit::OnControlColor) ||
         d.Message(WM_CTLCOLORSTATIC, &CBitmapEdit::OnControlColor) || d.DefaultReflection();
}
