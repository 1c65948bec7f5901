// Message maps: a window object answers messages in ProcessWindowMessage, a
// chain of table rows tested in order. Each row calls an OnX handler that gets
// a handled flag (preset to TRUE); a handler that clears it lets the search go
// on with the next rows. Rows may chain to another map and, at the end, reflect
// control notifications back to the child that sent them.
#pragma once
// the common-controls header needs windows.h before it
// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

// Reflected messages reach the child with this offset added.
constexpr UINT kReflectedMessageBase = 0x2000;
constexpr UINT kReflectedCommand = kReflectedMessageBase + WM_COMMAND;
constexpr UINT kReflectedNotify = kReflectedMessageBase + WM_NOTIFY;
constexpr UINT kReflectedCtlColorStatic = kReflectedMessageBase + WM_CTLCOLORSTATIC;
constexpr UINT kReflectedCtlColorEdit = kReflectedMessageBase + WM_CTLCOLOREDIT;

class CMessageMap {
 public:
  virtual ~CMessageMap() = default;
  // Returns TRUE when a row took the message; result then holds its answer.
  virtual BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                                    DWORD mapId = 0) = 0;
};

// The child a control message concerns, or null when it concerns none (menu and
// accelerator commands, owner-draw messages with wParam 0, other messages).
HWND FindReflectionTarget(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

// Sends a control message back to its child as message + 0x2000 and stores the
// child's answer; FALSE (not handled) when no child is concerned.
BOOL ReflectNotification(HWND parent, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// True for a reflected message (0x2000 + a control message).
bool IsReflectedMessage(UINT message);

// Gives a reflected message that reached a control the default handling of the
// original message; FALSE for other messages.
BOOL DefaultReflectionHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// One dispatch of one message through the rows of a map, in the order they are
// written:
//   MessageDispatch<CMainDlg> d(this, window, message, wParam, lParam, result);
//   return d.Message(WM_INITDIALOG, &CMainDlg::OnInitDialog) || d.Command(1009, &CMainDlg::OnClose) ||
//          d.Notify(1012, NM_CLICK, &CMainDlg::OnAgreementLink) || d.Reflect();
template <class T>
class MessageDispatch {
 public:
  using MessageHandler = LRESULT (T::*)(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
  using CommandHandler = LRESULT (T::*)(WORD code, WORD id, HWND control, BOOL& handled);
  using NotifyHandler = LRESULT (T::*)(int id, NMHDR* header, BOOL& handled);

  MessageDispatch(T* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
      : self_(self), window_(window), message_(message), wParam_(wParam), lParam_(lParam), result_(result) {}

  UINT message() const { return message_; }
  WPARAM wParam() const { return wParam_; }
  LPARAM lParam() const { return lParam_; }

  bool Message(UINT message, MessageHandler handler) { return message_ == message && Call(handler); }
  bool MessageRange(UINT first, UINT last, MessageHandler handler) {
    return message_ >= first && message_ <= last && Call(handler);
  }
  // WM_COMMAND rows match the low word of wParam only, whatever the notification code.
  bool Command(WORD id, CommandHandler handler) {
    return message_ == WM_COMMAND && LOWORD(wParam_) == id && CallCommand(handler);
  }
  bool CommandCode(WORD id, WORD code, CommandHandler handler) {
    return message_ == WM_COMMAND && LOWORD(wParam_) == id && HIWORD(wParam_) == code && CallCommand(handler);
  }
  bool Notify(int id, int code, NotifyHandler handler) {
    if (message_ != WM_NOTIFY || lParam_ == 0) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam_);
    return static_cast<int>(header->idFrom) == id && static_cast<int>(header->code) == code && CallNotify(handler);
  }
  bool NotifyCode(int code, NotifyHandler handler) {
    if (message_ != WM_NOTIFY || lParam_ == 0) return false;
    return static_cast<int>(reinterpret_cast<const NMHDR*>(lParam_)->code) == code && CallNotify(handler);
  }
  // Hands the message to another map (a base class's or a member's).
  bool Chain(CMessageMap& other, DWORD mapId = 0) {
    return other.ProcessWindowMessage(window_, message_, wParam_, lParam_, result_, mapId) != FALSE;
  }
  // The last row of a parent's map: control messages go back to their child.
  bool Reflect() { return ReflectNotification(window_, message_, wParam_, lParam_, result_) != FALSE; }
  // The last row of a control's map: reflected messages get default handling.
  bool DefaultReflection() { return DefaultReflectionHandler(window_, message_, wParam_, lParam_, result_) != FALSE; }

 private:
  bool Call(MessageHandler handler) {
    BOOL handled = TRUE;
    LRESULT r = (self_->*handler)(message_, wParam_, lParam_, handled);
    if (handled) result_ = r;
    return handled != FALSE;
  }
  bool CallCommand(CommandHandler handler) {
    BOOL handled = TRUE;
    LRESULT r = (self_->*handler)(HIWORD(wParam_), LOWORD(wParam_), reinterpret_cast<HWND>(lParam_), handled);
    if (handled) result_ = r;
    return handled != FALSE;
  }
  bool CallNotify(NotifyHandler handler) {
    BOOL handled = TRUE;
    auto* header = reinterpret_cast<NMHDR*>(lParam_);
    LRESULT r = (self_->*handler)(static_cast<int>(header->idFrom), header, handled);
    if (handled) result_ = r;
    return handled != FALSE;
  }

  T* self_;
  HWND window_;
  UINT message_;
  WPARAM wParam_;
  LPARAM lParam_;
  LRESULT& result_;
};
