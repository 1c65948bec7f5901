// Unpacks the downloaded package into the install folder item by item and
// tells the window how far it got (UM_EXTRACT_PROGRESS / _FAILED / _DONE).
#pragma once
#include <windows.h>

// The one seam for the failure message boxes: a tool can show them as text.
using ShowMessageFn = int(WINAPI*)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// Failure stages, posted as UM_EXTRACT_FAILED's wParam.
constexpr WPARAM kExtractStageOpen = 1;
constexpr WPARAM kExtractStageBaseFolder = 2;
constexpr WPARAM kExtractStageCount = 3;
constexpr WPARAM kExtractStageDescribe = 4;
constexpr WPARAM kExtractStageWrite = 5;

// Always returns true; the outcome is told by the posted messages.
bool ExtractPackage(const wchar_t* archivePath, const wchar_t* installFolder, HWND window,
                    ShowMessageFn showMessage = MessageBoxW);
