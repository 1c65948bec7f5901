// MD5 digest of a whole file through the platform's CryptoAPI.
#pragma once
#include <string>

// The digest as 32 upper-case hexadecimal digits, first byte first; empty when
// the file cannot be opened (it is opened sharing reading only) or read.
[[nodiscard]] std::wstring FileMd5Hex(const std::wstring& path);
