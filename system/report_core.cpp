#include "system/report_core.h"

#include <cstdio>
#include <cstring>

namespace syscore {

std::string FormatReportTime(const std::tm& local) {
  char text[kTimeFieldBytes] = {};
  // "%X" of the "C" locale is HH:MM:SS; the installer never changes the locale
  size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %X", &local);
  return std::string(text, n);
}

std::string FormatMacAddress(const uint8_t (&address)[kMacAddressBytes]) {
  char text[kMacFieldBytes] = {};
  int n = std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X\n", address[0], address[1], address[2],
                        address[3], address[4], address[5]);
  return std::string(text, n > 0 ? static_cast<size_t>(n) : 0);
}

std::string FormatReportBody(const ReportFields& fields) {
  std::string body = "type=" + std::to_string(fields.type);
  body += "&time=";
  body += fields.time;
  body += "&mac=";
  body += fields.mac;
  body += "&apkid=";
  body += fields.apkid;
  body += "&AdditionalInfo=";
  body += fields.additionalInfo;
  if (body.size() > kReportBodyBytes - 1) body.resize(kReportBodyBytes - 1);
  return body;
}

void CopyField(char* field, size_t fieldBytes, std::string_view text) {
  if (field == nullptr || fieldBytes == 0) return;
  size_t n = text.size() < fieldBytes - 1 ? text.size() : fieldBytes - 1;
  std::memset(field, 0, fieldBytes);
  if (n > 0) std::memcpy(field, text.data(), n);
}

size_t FieldLength(const char* field, size_t fieldBytes) {
  size_t n = 0;
  while (n < fieldBytes && field[n] != '\0') ++n;
  return n;
}

namespace {
wchar_t FoldAscii(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}
}  // namespace

bool ProcessNameEquals(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace syscore
