// Pure pieces of the install report and of process stopping: the report's time
// text, MAC text and form body, and the executable-name comparison. No OS
// calls; built natively too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace syscore {

// Sizes of the report record's text fields, terminator included.
inline constexpr size_t kTimeFieldBytes = 64;
inline constexpr size_t kMacFieldBytes = 64;
inline constexpr size_t kApkIdFieldBytes = 64;
inline constexpr size_t kAdditionalInfoFieldBytes = 256;
// The form body is formatted into a buffer of this size, terminator included.
inline constexpr size_t kReportBodyBytes = 1024;
// Only the first six bytes of an adapter's hardware address are shown.
inline constexpr size_t kMacAddressBytes = 6;

// "%Y-%m-%d %X" of a broken-down local time in the "C" locale:
// "2014-05-06 13:45:12". Empty when the text would not fit the field.
std::string FormatReportTime(const std::tm& local);

// "00-1A-2B-3C-4D-5E" followed by a line feed: upper-case pairs, 18 characters.
std::string FormatMacAddress(const uint8_t (&address)[kMacAddressBytes]);

struct ReportFields {
  int32_t type = 0;
  std::string_view time, mac, apkid, additionalInfo;
};

// "type=%d&time=%s&mac=%s&apkid=%s&AdditionalInfo=%s" with the values as they
// are (no URL encoding). A body longer than the buffer is cut to its size less
// the terminator, as the fixed buffer would cut it.
std::string FormatReportBody(const ReportFields& fields);

// Copies text into a fixed field of fieldBytes bytes, cutting it so that the
// terminator always fits; the rest of the field is zeroed.
void CopyField(char* field, size_t fieldBytes, std::string_view text);

// The length of a fixed field's text: up to its first null, or the whole field.
size_t FieldLength(const char* field, size_t fieldBytes);

// Whole-name comparison of two executable names that ignores the case of the
// ASCII letters A to Z only; every other character must match exactly.
bool ProcessNameEquals(std::wstring_view a, std::wstring_view b);

}  // namespace syscore
