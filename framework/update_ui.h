// Updating of child controls from one table: the owner states, at any time,
// which controls should be enabled, checked or carry a text; the changes reach
// the controls together when UIUpdateChildWindows runs (from the idle handler).
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

class CUpdateUI {
 public:
  // The control ids the table holds; an empty table updates nothing.
  explicit CUpdateUI(std::initializer_list<UINT> childIds = {});

  void UIAddChildWindowContainer(HWND container) { container_ = container; }

  // Each returns FALSE for an id that is not in the table.
  BOOL UIEnable(UINT id, BOOL enable);
  BOOL UISetCheck(UINT id, int check);
  BOOL UISetText(UINT id, const wchar_t* text);

  // Applies the pending changes to the container's children; returns TRUE.
  BOOL UIUpdateChildWindows();

 private:
  enum Pending : unsigned { kEnable = 1, kCheck = 2, kText = 4 };
  struct Element {
    UINT id;
    unsigned pending = 0;
    bool enabled = true;
    int check = 0;
    std::wstring text;
  };
  Element* Find(UINT id);

  std::vector<Element> table_;
  HWND container_ = nullptr;
};
