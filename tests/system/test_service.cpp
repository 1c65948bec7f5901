// quorvi-test-service: a small Windows service for the service-stopping tests.
//   install NAME | start NAME MODE | remove NAME   manage it through the SCM
//   run                                            what the SCM starts
// MODE says how it answers a stop request (see service_fixture.h).
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "tests/system/service_fixture.h"

namespace {

SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
HANDLE gStopRequested = nullptr;
std::wstring gMode = testservice::kStopAtOnce;

void Report(DWORD state, DWORD checkPoint, DWORD waitHint) {
  SERVICE_STATUS status = {};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwCheckPoint = checkPoint;
  status.dwWaitHint = waitHint;
  SetServiceStatus(gStatusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    // pending before the request returns, so that the stopper's first reads see it
    using namespace testservice;
    Report(SERVICE_STOP_PENDING, 1, gMode == kHang ? kStepMs : gMode == kCrawl ? kLongWaitHintMs : kWaitHintMs);
    SetEvent(gStopRequested);
    return NO_ERROR;
  }
  return control == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  if (argc > 1) gMode = argv[1];
  gStopRequested = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  gStatusHandle = RegisterServiceCtrlHandlerExW(L"", Handler, nullptr);
  if (gStatusHandle == nullptr) return;
  Report(SERVICE_RUNNING, 0, 0);
  // a forgotten service ends itself after ten minutes
  if (WaitForSingleObject(gStopRequested, 600000) != WAIT_OBJECT_0) {
    Report(SERVICE_STOPPED, 0, 0);
    return;
  }
  using namespace testservice;
  if (gMode == kHang) {
    Sleep(600000);
    return;
  }
  if (gMode == kProgress || gMode == kCrawl) {
    for (DWORD point = 2; gMode == kCrawl ? point < 12000 : point <= kProgressSteps; ++point) {
      Report(SERVICE_STOP_PENDING, point, gMode == kCrawl ? kLongWaitHintMs : kWaitHintMs);
      Sleep(kStepMs);
    }
  }
  Report(SERVICE_STOPPED, 0, 0);
}

std::wstring SelfPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"run" && argc == 2) {
    wchar_t name[] = L"";
    SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherW(table) ? 0 : 1;
  }
  if (command == L"install" && argc == 3) return testservice::Install(argv[2], SelfPath()) ? 0 : 1;
  if (command == L"start" && argc == 4) return testservice::Start(argv[2], argv[3]) ? 0 : 1;
  if (command == L"remove" && argc == 3) {
    testservice::Remove(argv[2]);
    return 0;
  }
  std::fputs("usage: quorvi-test-service install NAME | start NAME MODE | remove NAME | run\n", stderr);
  return 64;
}
