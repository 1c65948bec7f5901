// Install.exe: start-up, the main window's run and the exit code.
#include <windows.h>

#include "app/install_worker.h"
#include "app/main_dlg.h"
#include "app/startup.h"

// Runs the main window until its message loop ends; 0 when it cannot be created.
int Run(int showCommand) { return RunMainDialog<CMainDlg>(showCommand); }

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int showCommand) {
  int result = RunApplication(instance, [showCommand] { return Run(showCommand); });
  // Closing the window mid-install ends the program now: the worker is not
  // waited for and must not outlive the objects the run-time tears down.
  if (InstallWorkerRunning()) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
  return result;
}
