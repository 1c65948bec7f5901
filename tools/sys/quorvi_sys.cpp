// quorvi-sys: runs the installer's system steps one at a time.
//   register TARGET MODE DESKTOP STARTMENU RUN   flags are 0 or 1; prints "registered"
//   stop-service NAME                           prints "stopped" or "not-stopped"
//   kill NAME...                                ends every process of those names; prints "done"
//   report [TYPE] [--host HOST] [--port PORT]   prints "body " and the form body (escaped),
//                                               then "sent" or "not-sent"
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "build_settings.h"
#include "system/registration.h"
#include "system/report.h"
#include "system/service_stop.h"
#include "tools/tool_output.h"

namespace {

constexpr int kUsage = 64;

int Usage() {
  PrintLine(
      L"usage: quorvi-sys register TARGET MODE DESKTOP STARTMENU RUN | stop-service NAME | kill NAME... | "
      L"report [TYPE] [--host HOST] [--port PORT]");
  return kUsage;
}

// A whole decimal number within [low, high], or false.
bool ParseNumber(const wchar_t* text, long low, long high, long* value) {
  wchar_t* end = nullptr;
  errno = 0;
  long n = std::wcstol(text, &end, 10);
  if (end == text || *end != L'\0' || errno != 0 || n < low || n > high) return false;
  *value = n;
  return true;
}

// The body byte for byte: printable ASCII as it is, a backslash doubled,
// line feed, carriage return and tab as \n \r \t, anything else as \xNN.
std::wstring Escape(const std::string& bytes) {
  std::wstring out;
  for (unsigned char c : bytes) {
    if (c == '\\') {
      out += L"\\\\";
    } else if (c == '\n') {
      out += L"\\n";
    } else if (c == '\r') {
      out += L"\\r";
    } else if (c == '\t') {
      out += L"\\t";
    } else if (c >= 0x20 && c < 0x7f) {
      out += static_cast<wchar_t>(c);
    } else {
      wchar_t hex[8];
      std::swprintf(hex, 8, L"\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

int Register(int argc, wchar_t** argv) {
  if (argc != 7) return Usage();
  long mode = 0, desktop = 0, startMenu = 0, run = 0;
  if (!ParseNumber(argv[3], 0, 1, &mode) || !ParseNumber(argv[4], 0, 1, &desktop) ||
      !ParseNumber(argv[5], 0, 1, &startMenu) || !ParseNumber(argv[6], 0, 1, &run))
    return Usage();
  // the installer's window thread has COM initialised around the call
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool ok = RegisterApplication(argv[2], static_cast<int>(mode), desktop != 0, startMenu != 0, run != 0);
  if (SUCCEEDED(com)) CoUninitialize();
  PrintLine(ok ? L"registered" : L"not-registered");
  return ok ? 0 : 1;
}

int Stop(int argc, wchar_t** argv) {
  if (argc != 3) return Usage();
  bool stopped = StopService(argv[2]);
  PrintLine(stopped ? L"stopped" : L"not-stopped");
  return stopped ? 0 : 1;
}

int Kill(int argc, wchar_t** argv) {
  if (argc < 3) return Usage();
  std::vector<std::wstring> names(argv + 2, argv + argc);
  TerminateProcessesByName(names);
  PrintLine(L"done");
  return 0;
}

int Report(int argc, wchar_t** argv) {
  long type = kInstallReportType, port = QUORVI_REPORT_PORT;
  std::wstring host = QUORVI_REPORT_HOST;
  bool typeSeen = false;
  for (int i = 2; i < argc; ++i) {
    std::wstring arg = argv[i];
    if (arg == L"--host" && i + 1 < argc) {
      host = argv[++i];
    } else if (arg == L"--port" && i + 1 < argc) {
      if (!ParseNumber(argv[++i], 1, 65535, &port)) return Usage();
    } else if (!typeSeen && ParseNumber(argv[i], -2147483647L - 1, 2147483647L, &type)) {
      typeSeen = true;
    } else {
      return Usage();
    }
  }
  std::string body = MakeInstallReportBody(static_cast<int>(type));
  PrintLine(L"body " + Escape(body));
  bool sent = SendInstallReportTo(host.c_str(), static_cast<INTERNET_PORT>(port), body.c_str());
  PrintLine(sent ? L"sent" : L"not-sent");
  return sent ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"register") return Register(argc, argv);
  if (command == L"stop-service") return Stop(argc, argv);
  if (command == L"kill") return Kill(argc, argv);
  if (command == L"report") return Report(argc, argv);
  return Usage();
}
