#include "app/startup.h"

#include <objbase.h>

#include "framework/gdiplus_raii.h"

ApplicationServices::ApplicationServices(HINSTANCE instance) {
  // start-up failures are not fatal: the window simply draws less
  ::CoInitialize(nullptr);
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&gdiplusToken_, &input, nullptr);
  AppModule().Init(instance);
}

ApplicationServices::~ApplicationServices() {
  AppModule().Term();
  ::CoUninitialize();
  if (gdiplusToken_) Gdiplus::GdiplusShutdown(gdiplusToken_);
}

int RunDialogInLoop(CMessageLoop& loop, CDialogImpl& dialog, int showCommand, int templateId) {
  if (!dialog.Create(nullptr, templateId)) return 0;
  ::ShowWindow(dialog.m_hWnd, showCommand);
  int result = loop.Run();
  // the window normally destroyed itself before posting WM_QUIT
  dialog.DestroyWindow();
  return result;
}
