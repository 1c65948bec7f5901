// Stopping the application's Windows service and ending its processes before
// their files are written over.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

inline constexpr wchar_t kServiceName[] = L"ZELK_Sever";  // spelt so by the application
// The longest the stop waits for the service, besides at most one sleep.
inline constexpr DWORD kServiceStopTimeoutMs = 10000;

// Asks the service to stop and waits for it; true when afterwards the service
// reports SERVICE_STOPPED (false also when it is not installed).
bool StopService(const wchar_t* serviceName);

// Polls the service's status until it reaches desiredState (true), the limit
// runs out (true, last error ERROR_TIMEOUT), a status query fails or the
// service stops making progress (false). status receives the last status read.
// The sleeps follow the service's wait hints but never run past the limit.
bool WaitForServiceState(SC_HANDLE service, DWORD desiredState, SERVICE_STATUS* status, DWORD timeoutMs);

// Terminates every process whose executable name equals one of names (the
// case of the ASCII letters aside). Failures are passed over; no waiting.
void TerminateProcessesByName(const std::vector<std::wstring>& names);
