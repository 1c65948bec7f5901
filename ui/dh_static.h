// The label of a check box: a superclassed system "STATIC" that asks its parent
// to toggle check box checkIndex when it is pressed (UM_TOGGLE_CHECK, sent).
// Its see-through look comes from the parent's WM_CTLCOLORSTATIC answer.
#pragma once
#include <windows.h>

#include "framework/window.h"

class DhStatic : public CWindowImpl {
 public:
  int checkIndex = 0;

  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result,
                            DWORD mapId = 0) override;

 protected:
  WindowClassSpec GetWindowClassSpec() const override;

 private:
  LRESULT OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam, BOOL& handled);
};
