// Installing, starting and removing the test service through the real service
// control manager. Shared by the service tests and the test service's own
// command line.
#pragma once
#include <windows.h>

#include <string>

#include "framework/raii.h"

namespace testservice {

// How the test service answers SERVICE_CONTROL_STOP (its start argument):
inline constexpr wchar_t kStopAtOnce[] = L"stop";    // reports SERVICE_STOPPED
inline constexpr wchar_t kHang[] = L"hang";          // stays STOP_PENDING, check point frozen
inline constexpr wchar_t kProgress[] = L"progress";  // STOP_PENDING with a rising check point, then stopped
inline constexpr wchar_t kCrawl[] = L"crawl";        // STOP_PENDING with a rising check point, never stopped,
                                                     // and a wait hint of ten minutes
// wait hint the pending modes report, and their check-point step
inline constexpr DWORD kWaitHintMs = 300;
inline constexpr DWORD kStepMs = 50;
inline constexpr DWORD kProgressSteps = 10;
inline constexpr DWORD kLongWaitHintMs = 600000;

// Registers exe (with the argument "run") as a demand-start service.
inline bool Install(const std::wstring& name, const std::wstring& exe) {
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE));
  if (!manager) return false;
  std::wstring command = L"\"" + exe + L"\" run";
  UniqueServiceHandle service(CreateServiceW(manager.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                                             SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                                             command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return static_cast<bool>(service);
}

inline bool QueryStatus(const std::wstring& name, SERVICE_STATUS_PROCESS* status) {
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  UniqueServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_QUERY_STATUS));
  DWORD needed = 0;
  return service && QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(status),
                                         sizeof *status, &needed);
}

// Starts the service in one of the modes and waits (up to 20 s) until it runs.
inline bool Start(const std::wstring& name, const wchar_t* mode) {
  {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return false;
    UniqueServiceHandle service(OpenServiceW(manager.get(), name.c_str(), SERVICE_START));
    const wchar_t* args[] = {mode};
    if (!service || !StartServiceW(service.get(), 1, args)) return false;
  }
  for (int i = 0; i < 400; ++i) {
    SERVICE_STATUS_PROCESS status = {};
    if (!QueryStatus(name, &status)) return false;
    if (status.dwCurrentState == SERVICE_RUNNING) return true;
    Sleep(50);
  }
  return false;
}

// Ends the service's process if it still has one, then deletes the service.
inline void Remove(const std::wstring& name) {
  SERVICE_STATUS_PROCESS status = {};
  if (QueryStatus(name, &status) && status.dwCurrentState != SERVICE_STOPPED && status.dwProcessId != 0) {
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, status.dwProcessId));
    if (process) {
      TerminateProcess(process.get(), 0);
      WaitForSingleObject(process.get(), 10000);
    }
  }
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return;
  UniqueServiceHandle service(OpenServiceW(manager.get(), name.c_str(), DELETE));
  if (service) DeleteService(service.get());
}

}  // namespace testservice
