// Stopping a real service registered with the service control manager, and
// ending real processes by name.
#include "system/service_stop.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/system/service_fixture.h"

namespace {

std::filesystem::path BinDir() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::filesystem::path(path).parent_path();
}

// One test service per test, removed (and its process ended) at the end.
class ServiceStop : public testing::Test {
 protected:
  void SetUp() override {
    name_ = L"QuorviTestSvc" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(testing::UnitTest::GetInstance()->random_seed()) + L"_" + std::to_wstring(GetTickCount());
    ASSERT_TRUE(testservice::Install(name_, (BinDir() / L"quorvi-test-service.exe").wstring()));
  }
  void TearDown() override { testservice::Remove(name_); }
  DWORD State() {
    SERVICE_STATUS_PROCESS status = {};
    EXPECT_TRUE(testservice::QueryStatus(name_, &status));
    return status.dwCurrentState;
  }
  // An open handle with the rights the stop uses, after the stop request.
  UniqueServiceHandle RequestStop() {
    UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueServiceHandle service(OpenServiceW(manager.get(), name_.c_str(), SERVICE_STOP | SERVICE_QUERY_STATUS));
    SERVICE_STATUS status = {};
    EXPECT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    return service;
  }
  std::wstring name_;
};

TEST(ServiceStopMissing, NotInstalledIsFalse) {
  EXPECT_FALSE(StopService(L"QuorviNoSuchService"));
  EXPECT_FALSE(StopService(L""));
  EXPECT_FALSE(StopService(nullptr));
}

TEST_F(ServiceStop, AlreadyStoppedIsTrue) {
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_TRUE(StopService(name_.c_str()));
}

TEST_F(ServiceStop, ServiceThatStopsAtOnce) {
  ASSERT_TRUE(testservice::Start(name_, testservice::kStopAtOnce));
  EXPECT_TRUE(StopService(name_.c_str()));
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceStop, ServiceThatReportsProgress) {
  ASSERT_TRUE(testservice::Start(name_, testservice::kProgress));
  EXPECT_TRUE(StopService(name_.c_str()));
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceStop, FrozenCheckPointEndsTheWaitEarly) {
  ASSERT_TRUE(testservice::Start(name_, testservice::kHang));
  EXPECT_FALSE(StopService(name_.c_str()));
  EXPECT_EQ(State(), static_cast<DWORD>(SERVICE_STOP_PENDING));

  // the wait itself says "no progress" rather than "time ran out"
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueServiceHandle service(OpenServiceW(manager.get(), name_.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS status = {};
  SetLastError(0);
  EXPECT_FALSE(WaitForServiceState(service.get(), SERVICE_STOPPED, &status, kServiceStopTimeoutMs));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(status.dwCheckPoint, 1u);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
}

TEST_F(ServiceStop, LimitRunsOutWhileTheServiceStillProgresses) {
  ASSERT_TRUE(testservice::Start(name_, testservice::kCrawl));
  UniqueServiceHandle service = RequestStop();
  SERVICE_STATUS status = {};
  SetLastError(0);
  // the service's hint (ten minutes) is far longer than the limit: the sleep
  // is cut to the limit, else this wait would not end for minutes
  EXPECT_TRUE(WaitForServiceState(service.get(), SERVICE_STOPPED, &status, 100));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));

  SetLastError(0);
  EXPECT_TRUE(WaitForServiceState(service.get(), SERVICE_STOPPED, &status, 1500));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_GT(status.dwCheckPoint, 1u) << "several rising check points were seen";
}

TEST_F(ServiceStop, WaitReachesTheStateWithoutALimit) {
  ASSERT_TRUE(testservice::Start(name_, testservice::kProgress));
  UniqueServiceHandle service = RequestStop();
  SERVICE_STATUS status = {};
  EXPECT_TRUE(WaitForServiceState(service.get(), SERVICE_STOPPED, &status, INFINITE));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceStop, WaitWithoutQueryRightFails) {
  ASSERT_TRUE(testservice::Start(name_, testservice::kStopAtOnce));
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  UniqueServiceHandle service(OpenServiceW(manager.get(), name_.c_str(), SERVICE_START));
  SERVICE_STATUS status = {};
  EXPECT_FALSE(WaitForServiceState(service.get(), SERVICE_RUNNING, &status, 1000));
  EXPECT_FALSE(WaitForServiceState(nullptr, SERVICE_RUNNING, &status, 1000));
}

// Copies of the sleeper under chosen names, each in its own folder so that
// names differing only in case can live side by side.
class ProcessKill : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    root_ = std::filesystem::path(temp) / (L"quorvi-kill-" + std::to_wstring(GetCurrentProcessId()));
    std::filesystem::create_directories(root_);
  }
  void TearDown() override {
    for (auto& p : processes_) {
      TerminateProcess(p.handle.get(), 0);
      WaitForSingleObject(p.handle.get(), 10000);
    }
    processes_.clear();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  void Start(const std::wstring& exeName) {
    auto folder = root_ / std::to_wstring(processes_.size());
    std::filesystem::create_directories(folder);
    auto exe = folder / exeName;
    std::filesystem::copy_file(BinDir() / L"quorvi-sleeper.exe", exe);
    std::wstring command = L"\"" + exe.wstring() + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    processes_.push_back({exeName, UniqueHandle(pi.hProcess)});
  }
  struct Running {
    std::wstring name;
    UniqueHandle handle;
  };
  std::filesystem::path root_;
  std::vector<Running> processes_;
};

TEST_F(ProcessKill, MatchingNamesEndOthersLive) {
  struct {
    const wchar_t* exe;
    bool ends;
  } cases[] =
      {
          {L"adb.exe", true},   {L"ADB.EXE", true},     {L"Adb.exe", true},
          {L"Adb.exe", true},  // two processes of one name
          {L"httpd.exe", true}, {L"httpd2.exe", false}, {L"xadb.exe", false},
          {L"qäpp.exe", true},  {L"QÄpp.exe", false},   {L"Quorvi.exe", false},
      };
  for (const auto& c : cases) Start(c.exe);
  TerminateProcessesByName({L"ZELK_Helper.exe", L"adb.exe", L"httpd.exe", L"http.exe", L"QäPP.exe"});
  for (size_t i = 0; i < std::size(cases); ++i) {
    HANDLE h = processes_[i].handle.get();
    if (cases[i].ends) {
      EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0) << testing::PrintToString(processes_[i].name);
      DWORD code = 1;
      GetExitCodeProcess(h, &code);
      EXPECT_EQ(code, 0u) << "terminated with exit code 0";
    } else {
      EXPECT_EQ(WaitForSingleObject(h, 0), static_cast<DWORD>(WAIT_TIMEOUT))
          << testing::PrintToString(processes_[i].name);
    }
  }
}

TEST_F(ProcessKill, EmptyListEndsNothing) {
  Start(L"adb.exe");
  TerminateProcessesByName({});
  EXPECT_EQ(WaitForSingleObject(processes_[0].handle.get(), 200), static_cast<DWORD>(WAIT_TIMEOUT));
}

}  // namespace
