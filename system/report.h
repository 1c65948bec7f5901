// The install report: the record CMakePackage, its form body and the HTTP POST
// that carries it to the report server.
#pragma once
// the other platform headers need <windows.h> first
// clang-format off
#include <windows.h>
#include <iphlpapi.h>
#include <wininet.h>
// clang-format on

#include <cstdint>
#include <stdexcept>
#include <string>

#include "system/report_core.h"

// The report type the try-now step sends.
inline constexpr int kInstallReportType = 100;
// GetAdaptersInfo gets a list buffer of this size; a longer list means no MAC.
inline constexpr ULONG kAdapterListBytes = 3240;

// The report record. Text fields are ANSI, always null-terminated.
class CMakePackage {
 public:
  using AdapterListFn = ULONG(WINAPI*)(PIP_ADAPTER_INFO, PULONG);
  // adapterList stands in for GetAdaptersInfo (tests hand over their own list)
  explicit CMakePackage(AdapterListFn adapterList = ::GetAdaptersInfo) : adapterList_(adapterList) {}
  virtual ~CMakePackage() = default;

  // Stores the type, fills the time and the MAC; returns FillMac's result.
  virtual int Build(int reportType);
  // The current local time as "2014-05-06 13:45:12".
  virtual void FillTime();
  // The first adapter's address as "00-1A-2B-3C-4D-5E\n"; left as it was when
  // the adapter list cannot be read. Returns 0.
  virtual int FillMac();
  // Copy text in, cut to the field's size.
  virtual void SetApkId(const char* text);
  virtual void SetAdditionalInfo(const char* text);

  // "type=%d&time=%s&mac=%s&apkid=%s&AdditionalInfo=%s" of the fields.
  std::string FormatBody() const;

  int32_t type = 0;
  char time[syscore::kTimeFieldBytes] = {};
  char mac[syscore::kMacFieldBytes] = {};
  char apkid[syscore::kApkIdFieldBytes] = {};
  char AdditionalInfo[syscore::kAdditionalInfoFieldBytes] = {};

 private:
  AdapterListFn adapterList_;
};

// The form body of the try-now step: a cleared record of the given type with
// the time and the MAC filled in.
std::string MakeInstallReportBody(int reportType = kInstallReportType);

// Raised by AnsiToUtf8; what() is "Error in conversion." or "La falla!".
class ConversionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// UTF-8 of an ANSI (CP_ACP) string, through UTF-16. Throws ConversionError.
std::string AnsiToUtf8(const char* text);

// POSTs the ANSI form body to "fbInfo/saveInfo" on the report server of the
// build settings. True when the request was handed to WinINet (whatever the
// server answered); false when the body cannot be converted or the internet
// handle, connection or request cannot be made. Never throws.
bool SendInstallReport(const char* body) noexcept;
// The same to another server (tools and tests).
bool SendInstallReportTo(const wchar_t* host, INTERNET_PORT port, const char* body) noexcept;
