// A modeless dialog made from a dialog template, answering its messages through
// its message map. Messages the map leaves go to the default dialog processing.
#pragma once
#include <windows.h>

#include "framework/message_map.h"

class CDialogImpl : public CMessageMap {
 public:
  CDialogImpl() = default;
  // Destroys the dialog window if it still exists.
  virtual ~CDialogImpl();
  CDialogImpl(const CDialogImpl&) = delete;
  CDialogImpl& operator=(const CDialogImpl&) = delete;

  HWND m_hWnd = nullptr;

  // Creates the dialog from template templateId of the program's module; null on
  // failure. WM_INITDIALOG reaches the map with initParam in lParam.
  HWND Create(HWND owner, int templateId, LPARAM initParam = 0);
  BOOL DestroyWindow();

  // The procedure the dialog is created with.
  virtual DLGPROC GetDialogProc();
  // Called once the window is gone (after WM_NCDESTROY).
  virtual void OnFinalMessage(HWND window);

  static CDialogImpl* FromHandle(HWND window);

 protected:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
