// The resources as Windows reads them: the main dialog template, the icon
// group, the version and the manifests of the installer and of the tests.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

std::wstring BesideUs(const wchar_t* name) {
  WCHAR path[MAX_PATH]{};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring text = path;
  return text.substr(0, text.find_last_of(L'\\') + 1) + name;
}

std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
  HRSRC found = ::FindResourceW(module, name, type);
  if (!found) return {};
  HGLOBAL loaded = ::LoadResource(module, found);
  const char* bytes = static_cast<const char*>(::LockResource(loaded));
  return std::string(bytes, ::SizeofResource(module, found));
}

class InstallResources : public ::testing::Test {
 protected:
  void SetUp() override {
    module = ::LoadLibraryExW(BesideUs(L"install_resources_probe.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module);
  }
  void TearDown() override { ::FreeLibrary(module); }
  HMODULE module = nullptr;
};

TEST_F(InstallResources, TheMainDialogTemplateIsAnEmptyBorderlessPopup) {
  std::string data = ResourceBytes(module, MAKEINTRESOURCEW(IDD_MAIN), RT_DIALOG);
  ASSERT_GE(data.size(), 26u);
  auto word = [&](size_t at) { return *reinterpret_cast<const WORD*>(data.data() + at); };
  auto dword = [&](size_t at) { return *reinterpret_cast<const DWORD*>(data.data() + at); };
  EXPECT_EQ(word(0), 1);  // extended template
  EXPECT_EQ(word(2), 0xFFFF);
  EXPECT_EQ(dword(12), static_cast<DWORD>(WS_POPUP | DS_SETFONT | DS_FIXEDSYS));
  EXPECT_EQ(word(16), 0);    // no controls
  EXPECT_EQ(word(18), 0);    // x
  EXPECT_EQ(word(20), 0);    // y
  EXPECT_EQ(word(22), 385);  // cx
  EXPECT_EQ(word(24), 245);  // cy
  // no menu, default class, empty title, then the font
  EXPECT_EQ(word(26), 0);
  EXPECT_EQ(word(28), 0);
  EXPECT_EQ(word(30), 0);
  EXPECT_EQ(word(32), 8);  // point size
  EXPECT_EQ(word(34), 0);  // weight
  EXPECT_EQ(data[36], 0);  // not italic
  EXPECT_EQ(data[37], 0);  // character set
  EXPECT_STREQ(reinterpret_cast<const wchar_t*>(data.data() + 38), L"MS Shell Dlg");
}

TEST_F(InstallResources, TheIconGroupHoldsFourTrueColourSizes) {
  std::string data = ResourceBytes(module, MAKEINTRESOURCEW(IDI_MAIN), RT_GROUP_ICON);
  ASSERT_GE(data.size(), 6u);
  const auto* header = reinterpret_cast<const WORD*>(data.data());
  ASSERT_EQ(header[2], 4);
  ASSERT_EQ(data.size(), 6u + 4 * 14);
  std::vector<int> sizes;
  for (int i = 0; i < 4; ++i) {
    const char* entry = data.data() + 6 + 14 * i;
    sizes.push_back(static_cast<unsigned char>(entry[0]));
    EXPECT_EQ(*reinterpret_cast<const WORD*>(entry + 6), 32) << i;  // bits per pixel
  }
  EXPECT_EQ(sizes, (std::vector<int>{64, 48, 32, 24}));
}

TEST_F(InstallResources, TheManifestAsksForAdministratorAndCommonControls6) {
  std::string manifest = ResourceBytes(module, MAKEINTRESOURCEW(1), RT_MANIFEST);
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(manifest.find("uiAccess=\"false\""), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST(TestResources, TestProgramsDoNotAskForAdministrator) {
  std::string manifest = ResourceBytes(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), RT_MANIFEST);
  EXPECT_EQ(manifest.find("requireAdministrator"), std::string::npos);
  EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
  EXPECT_NE(manifest.find("version=\"6.0.0.0\""), std::string::npos);
}

TEST(InstallVersion, NamesTheInstallModule) {
  std::wstring path = BesideUs(L"install_resources_probe.exe");
  DWORD handle = 0;
  DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(::GetFileVersionInfoW(path.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000002u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000002u);
  struct Case {
    const wchar_t* name;
    const wchar_t* value;
  } cases[] = {{L"FileDescription", L"Install Module"},
               {L"ProductName", L"Install Module"},
               {L"OriginalFilename", L"Install.exe"},
               {L"FileVersion", L"1.0.0.2"},
               {L"ProductVersion", L"1.0.0.2"}};
  for (const auto& c : cases) {
    wchar_t* value = nullptr;
    std::wstring key = std::wstring(L"\\StringFileInfo\\080404b0\\") + c.name;
    ASSERT_TRUE(::VerQueryValueW(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << c.name;
    EXPECT_STREQ(value, c.value);
  }
}

}  // namespace
