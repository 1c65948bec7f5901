// Registration of the installed application: shortcuts, the start-at-boot
// value, the uninstall entry and the installed-version value.
#pragma once
// the other platform headers need <windows.h> first
// clang-format off
#include <windows.h>
#include <shlwapi.h>
// clang-format on

inline constexpr wchar_t kProductName[] = L"Quorvi手机助手";
inline constexpr wchar_t kAppLinkName[] = L"Quorvi手机助手.lnk";
inline constexpr wchar_t kUninstallLinkName[] = L"Quorvi手机助手卸载.lnk";
inline constexpr wchar_t kStartMenuFolder[] = L"\\Quorvi手机助手";
inline constexpr wchar_t kProductVersion[] = L"1.08";
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quorvi手机助手";
// the key and value names are spelt so on purpose: the application reads them so
inline constexpr wchar_t kVersionKey[] = L"Software\\ZELKvesion";
inline constexpr wchar_t kVersionValue[] = L"CurrentVesion";

// Mode 0 registers the application, mode 1 its uninstaller (start-menu link
// under the uninstall name, uninstall entry and version value). Each step's
// outcome is ignored; returns true, or false for a missing target path, when
// nothing is written.
bool RegisterApplication(const wchar_t* targetPath, int mode, bool desktopShortcut, bool startMenuShortcut,
                         bool runAtStartup);

// Writes one REG_SZ value; the stored data is the characters without the
// terminating null. False for a missing root, key, value name or data.
[[nodiscard]] bool SetRegString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data);

// Saves the shell link folder\linkName pointing at targetPath (its description
// is the target path too, shown normally). Needs COM initialised.
[[nodiscard]] bool CreateShortcut(const wchar_t* targetPath, const wchar_t* folder, const wchar_t* linkName);

// The two registry calls that store values, replaceable so that a test can see
// the exact sizes handed over (the registry itself may store more).
struct RegistryWriters {
  decltype(&::RegSetValueExW) setValue = ::RegSetValueExW;
  decltype(&::SHSetValueW) shSetValue = ::SHSetValueW;
};
bool RegisterApplicationWith(const RegistryWriters& writers, const wchar_t* targetPath, int mode, bool desktopShortcut,
                             bool startMenuShortcut, bool runAtStartup);
[[nodiscard]] bool SetRegStringWith(const RegistryWriters& writers, HKEY root, const wchar_t* subKey,
                                    const wchar_t* valueName, const wchar_t* data);
