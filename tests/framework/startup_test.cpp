// The start-up helpers in a program of their own: the process exit code is the
// loop's WM_QUIT wParam in full (read here, on the Windows side), 0 when the
// window cannot be created, and the window starts with the given show command.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

std::wstring ProbePath() {
  WCHAR path[MAX_PATH]{};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1) + L"startup_probe.exe";
}

DWORD RunProbe(const std::wstring& arguments, WORD showCommand = SW_SHOWNORMAL) {
  std::wstring command = L"\"" + ProbePath() + L"\" " + arguments;
  STARTUPINFOW startup{sizeof(startup)};
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = showCommand;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    ADD_FAILURE() << "cannot start the probe: " << ::GetLastError();
    return 0xFFFFFFFF;
  }
  DWORD code = 0xFFFFFFFF;
  if (::WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(process.hProcess, &code);
  } else {
    ::TerminateProcess(process.hProcess, 0xDEAD);
    ADD_FAILURE() << "the probe did not end";
  }
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return code;
}

TEST(Startup, TheExitCodeIsTheQuitMessagesWParam) {
  struct Case {
    const wchar_t* arguments;
    DWORD code;
  } cases[] = {{L"quit 1009", 1009}, {L"quit 1005", 1005}, {L"quit 0", 0}, {L"quit 70000", 70000}};
  for (const auto& c : cases) EXPECT_EQ(RunProbe(c.arguments), c.code) << c.code;
}

TEST(Startup, AWindowThatCannotBeCreatedGivesZero) {
  EXPECT_EQ(RunProbe(L"missing-template 1009"), 0u);
}

TEST(Startup, TheWindowIsShownWithTheStartsShowCommand) {
  EXPECT_EQ(RunProbe(L"show", SW_SHOWMINNOACTIVE), 2u);
  EXPECT_EQ(RunProbe(L"show", SW_SHOWNORMAL), 1u);
}

}  // namespace
