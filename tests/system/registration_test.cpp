// Registration against the real Wine registry and real shell links.
#include "system/registration.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "build_settings.h"

namespace {

struct Write {
  std::wstring key, name;
  DWORD type;
  std::vector<BYTE> data;  // exactly the bytes handed to the registry call
};
std::vector<Write> gWrites;

LSTATUS WINAPI RecordSetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  gWrites.push_back({L"", name ? name : L"", type, std::vector<BYTE>(data, data + size)});
  return ::RegSetValueExW(key, name, reserved, type, data, size);
}

DWORD WINAPI RecordShSetValue(HKEY root, LPCWSTR key, LPCWSTR name, DWORD type, LPCVOID data, DWORD size) {
  auto bytes = static_cast<const BYTE*>(data);
  gWrites.push_back({key, name ? name : L"", type, std::vector<BYTE>(bytes, bytes + size)});
  return ::SHSetValueW(root, key, name, type, data, size);
}

std::vector<BYTE> Bytes(const std::wstring& text) {
  auto p = reinterpret_cast<const BYTE*>(text.data());
  return std::vector<BYTE>(p, p + text.size() * sizeof(wchar_t));
}

std::wstring FolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  EXPECT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path), S_OK);
  return path;
}

// The value's type and text as the registry gives it back, or type 0 when missing.
struct Stored {
  DWORD type = 0;
  std::wstring text;
};
Stored ReadValue(HKEY root, const wchar_t* key, const wchar_t* name) {
  Stored stored;
  BYTE data[4096] = {};
  DWORD size = sizeof data;
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return stored;
  if (RegQueryValueExW(k, name, nullptr, &stored.type, data, &size) == ERROR_SUCCESS) {
    stored.text.assign(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
    // the registry may keep a terminator of its own
    while (!stored.text.empty() && stored.text.back() == L'\0') stored.text.pop_back();
  }
  RegCloseKey(k);
  return stored;
}

bool KeyExists(HKEY root, const wchar_t* key) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

struct Link {
  std::wstring target, description;
  int showCmd = 0;
};
// Reads a link file back through the shell; false when it cannot be loaded.
bool ReadLink(const std::wstring& path, Link* link) {
  IShellLinkW* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shellLink))))
    return false;
  IPersistFile* file = nullptr;
  bool ok = SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
            SUCCEEDED(file->Load(path.c_str(), STGM_READ));
  if (ok) {
    wchar_t text[MAX_PATH] = {};
    ok = SUCCEEDED(shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH));
    link->target = text;
    text[0] = L'\0';
    shellLink->GetDescription(text, MAX_PATH);
    link->description = text;
    shellLink->GetShowCmd(&link->showCmd);
  }
  if (file) file->Release();
  shellLink->Release();
  return ok;
}

class Registration : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    desktopLink_ = FolderPath(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\" + kAppLinkName;
    startFolder_ = FolderPath(CSIDL_PROGRAMS) + kStartMenuFolder;
    startAppLink_ = startFolder_ + L"\\" + kAppLinkName;
    startUninstallLink_ = startFolder_ + L"\\" + kUninstallLinkName;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    installDir_ =
        std::filesystem::path(temp) / (L"安装测试" + std::to_wstring(GetCurrentProcessId())) / L"QuorviPhoneAx";
    std::filesystem::create_directories(installDir_);
    app_ = (installDir_ / L"Quorvi.exe").wstring();
    uninstaller_ = (installDir_ / L"QuorviUnInstall.exe").wstring();
    CloseHandle(CreateFileW(app_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    CloseHandle(CreateFileW(uninstaller_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    Clean();
    gWrites.clear();
  }
  void TearDown() override {
    Clean();
    std::error_code ec;
    std::filesystem::remove_all(installDir_.parent_path(), ec);
    CoUninitialize();
  }
  void Clean() {
    std::error_code ec;
    std::filesystem::remove(desktopLink_, ec);
    std::filesystem::remove_all(startFolder_, ec);
    HKEY run = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
      RegDeleteValueW(run, kProductName);
      RegCloseKey(run);
    }
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kVersionKey);
  }
  void ExpectLink(const std::wstring& path, const std::wstring& target) {
    Link link;
    ASSERT_TRUE(ReadLink(path, &link)) << testing::PrintToString(path);
    EXPECT_EQ(link.target, target);
    EXPECT_EQ(link.description, target);
    EXPECT_EQ(link.showCmd, SW_SHOWNORMAL);
  }
  // The sizes handed to the registry are the characters without a terminator.
  void ExpectWritten(const wchar_t* name, const std::wstring& text) {
    for (const Write& w : gWrites) {
      if (w.name != name) continue;
      EXPECT_EQ(w.type, static_cast<DWORD>(REG_SZ)) << testing::PrintToString(std::wstring(name));
      EXPECT_EQ(w.data, Bytes(text)) << testing::PrintToString(std::wstring(name));
      return;
    }
    ADD_FAILURE() << "not written: " << testing::PrintToString(std::wstring(name));
  }

  std::wstring desktopLink_, startFolder_, startAppLink_, startUninstallLink_, app_, uninstaller_;
  std::filesystem::path installDir_;
  RegistryWriters recording_{RecordSetValue, RecordShSetValue};
};

TEST_F(Registration, ModesAndFlags) {
  struct {
    const char* name;
    int mode;
    bool desktop, startMenu, run;
    bool desktopLink, startAppLink, startUninstallLink, runValue, uninstallEntry;
  } cases[] = {
      {"mode 0, nothing chosen: nothing written", 0, false, false, false, false, false, false, false, false},
      {"mode 0, everything chosen", 0, true, true, true, true, true, false, true, false},
      {"mode 0, desktop only", 0, true, false, false, true, false, false, false, false},
      {"mode 0, start at boot only", 0, false, false, true, false, false, false, true, false},
      {"mode 1 without start menu still writes the uninstall entry", 1, false, false, false, false, false, false, false,
       true},
      {"mode 1 with start menu: the uninstall link", 1, false, true, false, false, false, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Clean();
    gWrites.clear();
    const std::wstring& target = c.mode == 1 ? uninstaller_ : app_;
    EXPECT_TRUE(RegisterApplicationWith(recording_, target.c_str(), c.mode, c.desktop, c.startMenu, c.run));

    EXPECT_EQ(std::filesystem::exists(desktopLink_), c.desktopLink);
    if (c.desktopLink) ExpectLink(desktopLink_, target);
    EXPECT_EQ(std::filesystem::exists(startAppLink_), c.startAppLink);
    if (c.startAppLink) ExpectLink(startAppLink_, target);
    EXPECT_EQ(std::filesystem::exists(startUninstallLink_), c.startUninstallLink);
    if (c.startUninstallLink) ExpectLink(startUninstallLink_, target);

    Stored run = ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName);
    EXPECT_EQ(run.type != 0, c.runValue);
    if (c.runValue) {
      EXPECT_EQ(run.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(run.text, target) << "stored unchanged: no quotes, no arguments";
      ExpectWritten(kProductName, target);
    }

    EXPECT_EQ(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey), c.uninstallEntry);
    EXPECT_EQ(KeyExists(HKEY_CURRENT_USER, kVersionKey), c.uninstallEntry);
    size_t expectedWrites = (c.runValue ? 1 : 0) + (c.uninstallEntry ? 7 : 0);
    EXPECT_EQ(gWrites.size(), expectedWrites);
    if (!c.uninstallEntry) continue;
    const std::wstring homePage = std::wstring(L"http://") + QUORVI_HOME_HOST + L"/";
    struct {
      const wchar_t* name;
      std::wstring data;
    } values[] = {
        {L"DisplayName", L"Quorvi手机助手"}, {L"DisplayVersion", L"1.08"}, {L"URLInfoAbout", homePage},
        {L"UninstallString", target},        {L"DisplayIcon", target},     {L"Publisher", L"Quorvi手机助手"},
    };
    for (size_t i = 0; i < std::size(values); ++i) {
      Stored stored = ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, values[i].name);
      EXPECT_EQ(stored.type, static_cast<DWORD>(REG_SZ));
      EXPECT_EQ(stored.text, values[i].data);
      ExpectWritten(values[i].name, values[i].data);
      // written in the order the uninstall entry lists them
      if (gWrites.size() == expectedWrites) {
        EXPECT_EQ(gWrites[i].name, values[i].name);
      }
    }
    Stored version = ReadValue(HKEY_CURRENT_USER, L"Software\\ZELKvesion", L"CurrentVesion");
    EXPECT_EQ(version.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(version.text, L"1.08");
    ASSERT_FALSE(gWrites.empty());
    EXPECT_EQ(gWrites.back().key, L"Software\\ZELKvesion");
    EXPECT_EQ(gWrites.back().name, L"CurrentVesion");
    EXPECT_EQ(gWrites.back().data.size(), 8u) << "\"1.08\" without a terminator";
    ExpectWritten(L"CurrentVesion", L"1.08");
  }
}

TEST_F(Registration, InstallerSequenceSharesOneStartMenuFolder) {
  EXPECT_TRUE(RegisterApplication(app_.c_str(), 0, true, true, true));
  EXPECT_TRUE(RegisterApplication(uninstaller_.c_str(), 1, false, true, false));
  ExpectLink(startAppLink_, app_);
  ExpectLink(startUninstallLink_, uninstaller_);
  ExpectLink(desktopLink_, app_);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName).text, app_);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString").text, uninstaller_);
}

TEST_F(Registration, RunningAgainOverwritesWithTheSameContent) {
  std::wstring other = (installDir_ / L"Other.exe").wstring();
  ASSERT_TRUE(RegisterApplication(other.c_str(), 0, true, true, true));
  ASSERT_TRUE(RegisterApplication(other.c_str(), 1, false, true, false));
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(RegisterApplication(app_.c_str(), 0, true, true, true));
    EXPECT_TRUE(RegisterApplication(uninstaller_.c_str(), 1, false, true, false));
  }
  ExpectLink(desktopLink_, app_);
  ExpectLink(startAppLink_, app_);
  ExpectLink(startUninstallLink_, uninstaller_);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRunKey, kProductName).text, app_);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayIcon").text, uninstaller_);
}

TEST_F(Registration, MissingTargetWritesNothing) {
  for (const wchar_t* target : {static_cast<const wchar_t*>(nullptr), L""}) {
    EXPECT_FALSE(RegisterApplicationWith(recording_, target, 1, true, true, true));
    EXPECT_TRUE(gWrites.empty());
    EXPECT_FALSE(std::filesystem::exists(desktopLink_));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  }
}

TEST_F(Registration, CallerInAnotherApartmentKeepsItsCom) {
  // the caller's thread is in the multithreaded apartment: our nested
  // initialisation is refused and must not be undone
  std::thread caller([&] {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    EXPECT_TRUE(RegisterApplication(app_.c_str(), 0, true, false, false));
    IShellLinkW* link = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    if (link) link->Release();
    CoUninitialize();
  });
  caller.join();
  ExpectLink(desktopLink_, app_);
}

TEST_F(Registration, SetRegStringRefusesMissingParts) {
  const wchar_t* key = L"Software\\QuorviRegistrationTest";
  struct {
    const char* name;
    HKEY root;
    const wchar_t *subKey, *valueName, *data;
  } cases[] = {
      {"no root", nullptr, key, L"v", L"d"},
      {"no key", HKEY_CURRENT_USER, nullptr, L"v", L"d"},
      {"empty key", HKEY_CURRENT_USER, L"", L"v", L"d"},
      {"no value name", HKEY_CURRENT_USER, key, nullptr, L"d"},
      {"empty value name", HKEY_CURRENT_USER, key, L"", L"d"},
      {"no data", HKEY_CURRENT_USER, key, L"v", nullptr},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(SetRegStringWith(recording_, c.root, c.subKey, c.valueName, c.data)) << c.name;
    EXPECT_TRUE(gWrites.empty()) << c.name;
  }
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key));
}

TEST_F(Registration, SetRegStringStoresWithoutTerminator) {
  const wchar_t* key = L"Software\\QuorviRegistrationTest";
  struct {
    const wchar_t* data;
    size_t bytes;
  } cases[] = {{L"1.08", 8}, {L"", 0}, {L"手机", 4}, {L"C:\\a b\\c.exe", 24}};
  for (const auto& c : cases) {
    gWrites.clear();
    EXPECT_TRUE(SetRegStringWith(recording_, HKEY_CURRENT_USER, key, L"value", c.data));
    ASSERT_EQ(gWrites.size(), 1u);
    EXPECT_EQ(gWrites[0].data.size(), c.bytes);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, key, L"value").text, c.data);
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

TEST_F(Registration, CreateShortcutResultFollowsTheSave) {
  std::wstring folder = installDir_.parent_path().wstring();
  EXPECT_TRUE(CreateShortcut(app_.c_str(), folder.c_str(), L"链接.lnk"));
  ExpectLink(folder + L"\\链接.lnk", app_);
  EXPECT_FALSE(CreateShortcut(app_.c_str(), nullptr, L"x.lnk"));
  EXPECT_FALSE(CreateShortcut(app_.c_str(), (folder + L"\\no such folder").c_str(), L"x.lnk"));
}

}  // namespace
