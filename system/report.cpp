#include "system/report.h"

#include <ctime>
#include <utility>

#include "build_settings.h"
#include "framework/raii.h"

namespace {

// WinINet handles; kept here rather than with the other owners because
// <wininet.h> cannot be included together with <winhttp.h>.
struct InternetHandleTraits {
  using Type = HINTERNET;
  static HINTERNET Invalid() { return nullptr; }
  static void Release(HINTERNET h) { ::InternetCloseHandle(h); }
};
using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;

std::string_view FieldText(const char* field, size_t bytes) {
  return {field, syscore::FieldLength(field, bytes)};
}

}  // namespace

int CMakePackage::Build(int reportType) {
  type = reportType;
  FillTime();
  return FillMac();
}

void CMakePackage::FillTime() {
  std::time_t now = std::time(nullptr);
  std::tm local = {};
  if (localtime_s(&local, &now) != 0) return;
  syscore::CopyField(time, sizeof time, syscore::FormatReportTime(local));
}

int CMakePackage::FillMac() {
  if (adapterList_ == nullptr) return 0;
  // aligned for the records the list is made of
  union {
    IP_ADAPTER_INFO first;
    unsigned char bytes[kAdapterListBytes];
  } list = {};
  ULONG size = kAdapterListBytes;
  if (adapterList_(&list.first, &size) != ERROR_SUCCESS) return 0;
  uint8_t address[syscore::kMacAddressBytes];
  for (size_t i = 0; i < syscore::kMacAddressBytes; ++i) address[i] = list.first.Address[i];
  syscore::CopyField(mac, sizeof mac, syscore::FormatMacAddress(address));
  return 0;
}

void CMakePackage::SetApkId(const char* text) {
  syscore::CopyField(apkid, sizeof apkid, text ? text : "");
}

void CMakePackage::SetAdditionalInfo(const char* text) {
  syscore::CopyField(AdditionalInfo, sizeof AdditionalInfo, text ? text : "");
}

std::string CMakePackage::FormatBody() const {
  syscore::ReportFields fields;
  fields.type = type;
  fields.time = FieldText(time, sizeof time);
  fields.mac = FieldText(mac, sizeof mac);
  fields.apkid = FieldText(apkid, sizeof apkid);
  fields.additionalInfo = FieldText(AdditionalInfo, sizeof AdditionalInfo);
  return syscore::FormatReportBody(fields);
}

std::string MakeInstallReportBody(int reportType) {
  CMakePackage record;
  record.type = reportType;
  record.FillTime();
  record.FillMac();
  return record.FormatBody();
}

std::string AnsiToUtf8(const char* text) {
  int wideLength = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (wideLength == 0) throw ConversionError("Error in conversion.");
  std::wstring wide(static_cast<size_t>(wideLength), L'\0');
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), wideLength) != wideLength)
    throw ConversionError("La falla!");
  int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (utf8Length == 0) throw ConversionError("Error in conversion.");
  std::string utf8(static_cast<size_t>(utf8Length), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), utf8Length, nullptr, nullptr) != utf8Length)
    throw ConversionError("La falla!");
  utf8.resize(utf8.find('\0'));
  return utf8;
}

bool SendInstallReportTo(const wchar_t* host, INTERNET_PORT port, const char* body) noexcept {
  std::string utf8, hostAnsi;
  try {
    utf8 = AnsiToUtf8(body);
  } catch (const std::exception&) {
    // a body that cannot be converted is not sent; the caller goes on
    return false;
  }
  if (host == nullptr || *host == L'\0') return false;
  int n = WideCharToMultiByte(CP_ACP, 0, host, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return false;
  hostAnsi.assign(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, host, -1, hostAnsi.data(), n, nullptr, nullptr);

  UniqueInternetHandle internet(InternetOpenA("MyAgent", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!internet) return false;
  UniqueInternetHandle connection(
      InternetConnectA(internet.get(), hostAnsi.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
  if (!connection) return false;
  const char* acceptTypes[] = {"Accept: */*", nullptr};
  UniqueInternetHandle request(
      HttpOpenRequestA(connection.get(), "POST", "fbInfo/saveInfo", nullptr, nullptr, acceptTypes, 0, 1));
  if (!request) return false;
  static constexpr char kContentType[] = "Content-Type: application/x-www-form-urlencoded";
  // the answer does not matter: the report is sent once and never retried
  HttpSendRequestA(request.get(), kContentType, sizeof kContentType - 1, utf8.data(), static_cast<DWORD>(utf8.size()));
  // children first: closing the session first would leave the other two handles dangling
  request.reset();
  connection.reset();
  internet.reset();
  return true;
}

bool SendInstallReport(const char* body) noexcept {
  return SendInstallReportTo(QUORVI_REPORT_HOST, QUORVI_REPORT_PORT, body);
}
