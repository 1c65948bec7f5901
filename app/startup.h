// Start-up of a windowed program: the services around the main thread's run,
// and the running of a modeless dialog as the main window.
#pragma once
#include <windows.h>

#include <memory>

#include "framework/dialog.h"
#include "framework/message_loop.h"

// The dialog template of the main window.
constexpr int kMainDialogTemplate = 129;

// Initialises COM (apartment) and GDI+ (version 1, token kept) and the
// application module, calls run, then terminates the module, uninitialises COM
// and shuts GDI+ down. Returns run's result.
template <typename RunFunction>
int RunApplication(HINSTANCE instance, RunFunction&& run);

// Runs one modeless dialog as the main window on the calling thread: creates a
// message loop and registers it with the module, creates the dialog from the
// template (no owner), shows it with showCommand, runs the loop, unregisters
// it. Returns the loop's result (the WM_QUIT wParam), or 0 when the dialog
// cannot be created. The dialog object is destroyed before returning.
template <typename Dialog>
int RunMainDialog(int showCommand, int templateId = kMainDialogTemplate);

// The middle of RunMainDialog: create, show, run the registered loop.
int RunDialogInLoop(CMessageLoop& loop, CDialogImpl& dialog, int showCommand, int templateId);

template <typename Dialog>
int RunMainDialog(int showCommand, int templateId) {
  CMessageLoop loop;
  ScopedMessageLoopRegistration registration(loop);
  auto dialog = std::make_unique<Dialog>();
  int result = RunDialogInLoop(loop, *dialog, showCommand, templateId);
  registration.Unregister();
  dialog.reset();
  return result;
}

// The parts of RunApplication that need no template.
struct ApplicationServices {
  explicit ApplicationServices(HINSTANCE instance);
  ~ApplicationServices();
  ApplicationServices(const ApplicationServices&) = delete;
  ApplicationServices& operator=(const ApplicationServices&) = delete;

 private:
  ULONG_PTR gdiplusToken_ = 0;
};

template <typename RunFunction>
int RunApplication(HINSTANCE instance, RunFunction&& run) {
  ApplicationServices services(instance);
  return run();
}
