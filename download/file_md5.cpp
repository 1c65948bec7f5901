#include "download/file_md5.h"

#include <windows.h>
// after windows.h, which it needs
#include <wincrypt.h>

#include <memory>
#include <new>

#include "framework/raii.h"

namespace {

constexpr DWORD kReadBlock = 1048576;

struct CryptProvider {
  HCRYPTPROV handle = 0;
  ~CryptProvider() {
    if (handle) CryptReleaseContext(handle, 0);
  }
};

struct CryptHash {
  HCRYPTHASH handle = 0;
  ~CryptHash() {
    if (handle) CryptDestroyHash(handle);
  }
};

}  // namespace

std::wstring FileMd5Hex(const std::wstring& path) {
  UniqueFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {};
  CryptProvider provider;
  if (!CryptAcquireContextW(&provider.handle, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) return {};
  CryptHash hash;
  if (!CryptCreateHash(provider.handle, CALG_MD5, 0, 0, &hash.handle)) return {};
  std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[kReadBlock]);
  if (!buffer) return {};
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer.get(), kReadBlock, &read, nullptr)) return {};
    if (read == 0) break;
    if (!CryptHashData(hash.handle, buffer.get(), read, 0)) return {};
  }
  BYTE digest[16];
  DWORD digestLength = sizeof digest;
  if (!CryptGetHashParam(hash.handle, HP_HASHVAL, digest, &digestLength, 0) || digestLength != sizeof digest) return {};
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring text;
  for (BYTE b : digest) {
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  return text;
}
