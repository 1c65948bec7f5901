#include "system/service_stop.h"

#include <tlhelp32.h>

#include "framework/raii.h"
#include "system/report_core.h"

// the records the platform fills have these sizes in the 32-bit product
static_assert(sizeof(void*) != 4 || sizeof(PROCESSENTRY32W) == 556);
static_assert(sizeof(SERVICE_STATUS_PROCESS) == 36);

bool WaitForServiceState(SC_HANDLE service, DWORD desiredState, SERVICE_STATUS* status, DWORD timeoutMs) {
  if (service == nullptr || status == nullptr) return false;
  // elapsed time rather than a deadline tick, so that the tick count wrapping
  // around during the wait cannot end it early or make it endless
  const DWORD start = GetTickCount();
  if (!QueryServiceStatus(service, status)) return false;
  DWORD lastState = 0, lastCheckPoint = 0;
  bool firstPass = true;
  for (;;) {
    if (status->dwCurrentState == desiredState) return true;
    DWORD elapsed = GetTickCount() - start;
    if (timeoutMs != INFINITE && elapsed > timeoutMs) {
      SetLastError(ERROR_TIMEOUT);
      return true;
    }
    if (firstPass || status->dwCurrentState != lastState) {
      lastState = status->dwCurrentState;
      lastCheckPoint = status->dwCheckPoint;
      firstPass = false;
    } else if (status->dwCheckPoint <= lastCheckPoint) {
      return false;  // same state and the check point did not advance
    } else {
      lastCheckPoint = status->dwCheckPoint;
    }
    DWORD sleep = status->dwWaitHint;
    // a service's hint may be anything; the window thread is not held past the limit
    if (timeoutMs != INFINITE) {
      DWORD left = timeoutMs - elapsed + 1;
      if (sleep > left) sleep = left;
    }
    Sleep(sleep);
    if (!QueryServiceStatus(service, status)) return false;
  }
}

bool StopService(const wchar_t* serviceName) {
  if (serviceName == nullptr || *serviceName == L'\0') return false;
  {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (manager) {
      UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName, SERVICE_STOP | SERVICE_QUERY_STATUS));
      if (service) {
        SERVICE_STATUS status = {};
        // a service that is already stopped refuses the request; the wait sees it
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        (void)WaitForServiceState(service.get(), SERVICE_STOPPED, &status, kServiceStopTimeoutMs);
      }
    }
  }
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) return false;
  SERVICE_STATUS_PROCESS status = {};
  bool queried = false;
  UniqueServiceHandle service(OpenServiceW(manager.get(), serviceName, SERVICE_QUERY_STATUS));
  if (service) {
    DWORD needed = 0;
    queried = QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                                   sizeof status, &needed) != FALSE;
  }
  return queried && status.dwCurrentState == SERVICE_STOPPED;
}

void TerminateProcessesByName(const std::vector<std::wstring>& names) {
  UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
    // the name array is fixed-size; a name filling it has no terminator
    std::wstring_view exe(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH));
    for (const std::wstring& name : names) {
      if (!syscore::ProcessNameEquals(exe, name)) continue;
      UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
      if (process) TerminateProcess(process.get(), 0);
    }
    entry.dwSize = sizeof entry;
  }
}
