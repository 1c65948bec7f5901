#include "framework/update_ui.h"

CUpdateUI::CUpdateUI(std::initializer_list<UINT> childIds) {
  for (UINT id : childIds) table_.push_back(Element{id});
}

CUpdateUI::Element* CUpdateUI::Find(UINT id) {
  for (auto& element : table_) {
    if (element.id == id) return &element;
  }
  return nullptr;
}

BOOL CUpdateUI::UIEnable(UINT id, BOOL enable) {
  Element* element = Find(id);
  if (!element) return FALSE;
  element->enabled = enable != FALSE;
  element->pending |= kEnable;
  return TRUE;
}

BOOL CUpdateUI::UISetCheck(UINT id, int check) {
  Element* element = Find(id);
  if (!element) return FALSE;
  element->check = check;
  element->pending |= kCheck;
  return TRUE;
}

BOOL CUpdateUI::UISetText(UINT id, const wchar_t* text) {
  Element* element = Find(id);
  if (!element) return FALSE;
  element->text = text ? text : L"";
  element->pending |= kText;
  return TRUE;
}

BOOL CUpdateUI::UIUpdateChildWindows() {
  if (!container_) return TRUE;
  for (auto& element : table_) {
    if (!element.pending) continue;
    HWND child = ::GetDlgItem(container_, static_cast<int>(element.id));
    if (child) {
      if (element.pending & kEnable) ::EnableWindow(child, element.enabled);
      if (element.pending & kCheck) ::SendMessageW(child, BM_SETCHECK, static_cast<WPARAM>(element.check), 0);
      if (element.pending & kText) ::SetWindowTextW(child, element.text.c_str());
    }
    element.pending = 0;
  }
  return TRUE;
}
