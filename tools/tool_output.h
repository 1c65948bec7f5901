// Console output of the developer tools: one UTF-8 line at a time, unbuffered,
// so that a test reading the pipe sees lines in the order they happen.
#pragma once
#include <windows.h>

#include <string>

inline std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

inline void PrintLine(const std::wstring& line) {
  std::string bytes = ToUtf8(line) + "\n";
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
