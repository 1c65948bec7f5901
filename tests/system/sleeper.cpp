// quorvi-sleeper [--ready]: does nothing for up to a minute. The process tests
// start copies of it under the names they want to see in the process list;
// with --ready it first prints "ready", once it is in that list.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wcscmp(argv[1], L"--ready") == 0) {
    static const char kReady[] = "ready\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kReady, sizeof kReady - 1, &written, nullptr);
  }
  Sleep(60000);
  return 7;
}
