// The engine's Windows side under Wine: the entry's argument checks, folder
// creation, the CryptoAPI digest, connections and header reading over real
// loopback sockets.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

#include "download/download.h"
#include "download/file_md5.h"
#include "download/http_get.h"

namespace {

std::wstring TempFolder() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  std::wstring folder = std::wstring(base) + L"quorvi-dl-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(GetTickCount64());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  UniqueFileHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_TRUE(f);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

bool IsFolder(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

class CountingCallBack : public IDownloadCallBack {
 public:
  int32_t OnDownloadProgress(uint32_t, int32_t, uint32_t, int32_t) override { return ++calls, 0; }
  void OnDownloadStart(const wchar_t*, int32_t) override { ++calls; }
  void OnServerAddress(const wchar_t*, int32_t) override { ++calls; }
  int calls = 0;
};

}  // namespace

TEST(DownloadFile, NullArgumentsReturn12WithoutAnyCall) {
  CountingCallBack callback;
  EXPECT_EQ(DownloadFile(nullptr, L"C:\\", &callback, 5, 1, 0, 0), DOWNLOAD_E_ARGS);
  EXPECT_EQ(DownloadFile(L"http://127.0.0.1:1/x.zip", nullptr, &callback, 5, 1, 0, 0), DOWNLOAD_E_ARGS);
  EXPECT_EQ(callback.calls, 0);
}

TEST(DownloadFile, UncreatableFolderReturns12BeforeStarting) {
  CountingCallBack callback;
  std::wstring folder = TempFolder();
  std::wstring blocker = folder + L"\\file";
  WriteFileBytes(blocker, "x");
  // a folder below a plain file cannot be made
  EXPECT_EQ(DownloadFile(L"http://127.0.0.1:1/x.zip", (blocker + L"\\sub\\").c_str(), &callback, 0, 1, 0, 0),
            DOWNLOAD_E_ARGS);
  EXPECT_EQ(callback.calls, 0);
}

// ---------------------------------------------------------------- folders

TEST(CreateFolderPath, CreatesEveryMissingLevel) {
  std::wstring base = TempFolder();
  EXPECT_TRUE(CreateFolderPath((base + L"\\a\\b\\c").c_str(), nullptr));
  EXPECT_TRUE(IsFolder(base + L"\\a\\b\\c"));
  EXPECT_TRUE(CreateFolderPath((base + L"\\a\\b\\c").c_str(), nullptr));  // already there
  EXPECT_TRUE(CreateFolderPath((base + L"\\x\\y\\").c_str(), nullptr));   // trailing backslash
  EXPECT_TRUE(IsFolder(base + L"\\x\\y"));
}

TEST(CreateFolderPath, RejectsWhatItCannotMake) {
  EXPECT_FALSE(CreateFolderPath(nullptr, nullptr));
  EXPECT_FALSE(CreateFolderPath(L"", nullptr));
  EXPECT_FALSE(CreateFolderPath(L"relative\\folder", nullptr));  // no root to start from
  std::wstring longPath = L"C:\\" + std::wstring(257, L'a');     // 260 units
  SetLastError(0);
  EXPECT_FALSE(CreateFolderPath(longPath.c_str(), nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_FALSE(IsFolder(longPath.substr(0, 200)));
}

// ---------------------------------------------------------------- digest

struct DigestCase {
  std::string content;
  const wchar_t* digest;
};

class FileMd5HexTest : public testing::TestWithParam<DigestCase> {};

TEST_P(FileMd5HexTest, MatchesTheReferenceDigestsInUpperCase) {
  std::wstring path = TempFolder() + L"\\f.bin";
  WriteFileBytes(path, GetParam().content);
  EXPECT_EQ(FileMd5Hex(path), GetParam().digest);
}

INSTANTIATE_TEST_SUITE_P(
    Rfc1321, FileMd5HexTest,
    testing::Values(DigestCase{"", L"D41D8CD98F00B204E9800998ECF8427E"},
                    DigestCase{"a", L"0CC175B9C0F1B6A831C399E269772661"},
                    DigestCase{"abc", L"900150983CD24FB0D6963F7D28E17F72"},
                    DigestCase{"message digest", L"F96B697D7CB7938D525A2F31AAF161D0"},
                    DigestCase{"abcdefghijklmnopqrstuvwxyz", L"C3FCD3D76192E4007DFB496CCA67E13B"},
                    DigestCase{"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
                               L"D174AB98D277D9F5A5611C2C9F419D9F"},
                    DigestCase{"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
                               L"57EDF4A22BE3C955AC49DA2E2107B67A"},
                    DigestCase{std::string(1000000, 'a'), L"7707D6AE4E027C70EEA2A935C2296F21"},
                    // three read blocks
                    DigestCase{std::string(2500000, 'a'), L"810B761E68A4F58192E0448BC415517E"}));

TEST(FileMd5Hex, EmptyWhenTheFileCannotBeRead) {
  std::wstring folder = TempFolder();
  EXPECT_EQ(FileMd5Hex(folder + L"\\missing.bin"), L"");
  std::wstring path = folder + L"\\held.bin";
  WriteFileBytes(path, "abc");
  // a writer holds it open: sharing only reading cannot open it
  UniqueFileHandle writer(
      CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(writer);
  EXPECT_EQ(FileMd5Hex(path), L"");
  writer.reset();
  EXPECT_EQ(FileMd5Hex(path), L"900150983CD24FB0D6963F7D28E17F72");
}

// ---------------------------------------------------------------- sockets

// A loopback listener owned by the test; the engine connects to it.
class Loopback : public testing::Test {
 protected:
  void SetUp() override {
    listener.reset(socket(AF_INET, SOCK_STREAM, 0));
    ASSERT_TRUE(listener);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(listener.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener.get(), 4), 0);
    int length = sizeof address;
    getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
  }

  // Connects through the engine and accepts the server side.
  void Connect() {
    std::wstring text;
    client.reset(context.sockets.Connect(L"127.0.0.1", port, text));
    ASSERT_TRUE(client);
    EXPECT_EQ(text, L"127.0.0.1");
    server.reset(accept(listener.get(), nullptr, nullptr));
    ASSERT_TRUE(server);
  }

  void Send(const std::string& bytes) {
    ASSERT_EQ(send(server.get(), bytes.data(), static_cast<int>(bytes.size()), 0), static_cast<int>(bytes.size()));
  }

  CHttpGet context{nullptr, 0, 1, 0};  // starts the socket library first
  UniqueSocket listener, client, server;
  int port = 0;
};

TEST_F(Loopback, ConnectRejectsBadPortsAndHostsAtOnce) {
  std::wstring text = L"stale";
  EXPECT_EQ(context.sockets.Connect(L"127.0.0.1", 0, text), INVALID_SOCKET);
  EXPECT_EQ(text, L"");
  EXPECT_EQ(context.sockets.Connect(L"127.0.0.1", 65536, text), INVALID_SOCKET);
  EXPECT_EQ(context.sockets.Connect(L"", port, text), INVALID_SOCKET);
  EXPECT_EQ(text, L"");
}

TEST_F(Loopback, RefusedConnectionStillNamesTheChosenAddress) {
  listener.reset();  // nothing listens on the port any more
  std::wstring text;
  EXPECT_EQ(context.sockets.Connect(L"127.0.0.1", port, text), INVALID_SOCKET);
  EXPECT_EQ(text, L"127.0.0.1");
}

TEST_F(Loopback, ConnectsToAnAddressWithZeroBytes) {
  Connect();
  Send("x");
  char c = 0;
  EXPECT_EQ(recv(client.get(), &c, 1, 0), 1);
  EXPECT_EQ(c, 'x');
}

// The header is taken up to its blank line and not one byte further, however
// the bytes arrive.
TEST_F(Loopback, ReadHeaderStopsAtTheBlankLineAtEveryCut) {
  const std::string header = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 0-1/9\r\n\r\n";
  for (size_t cut : {size_t{1}, size_t{10}, header.size() - 4, header.size() - 3, header.size() - 1}) {
    SCOPED_TRACE(cut);
    Connect();
    Send(header.substr(0, cut));
    std::thread rest([&] {
      Sleep(20);
      Send(header.substr(cut) + "BODY");
    });
    char buffer[dlcore::kMaxHeaderBytes + 1];
    size_t n = context.ReadHeader(client.get(), buffer);
    rest.join();
    EXPECT_EQ(std::string(buffer, n), header);
    EXPECT_EQ(buffer[n], '\0');
    char body[4];
    EXPECT_EQ(recv(client.get(), body, 4, 0), 4);
    EXPECT_EQ(std::string(body, 4), "BODY");
  }
}

TEST_F(Loopback, ReadHeaderLimits) {
  char buffer[dlcore::kMaxHeaderBytes + 1];
  // a block of exactly the limit that ends with its blank line is a header
  std::string exact = "HTTP/1.1 200 OK\r\nX: " + std::string(dlcore::kMaxHeaderBytes - 24, 'a') + "\r\n\r\n";
  ASSERT_EQ(exact.size(), dlcore::kMaxHeaderBytes);
  Connect();
  Send(exact + "B");
  EXPECT_EQ(context.ReadHeader(client.get(), buffer), dlcore::kMaxHeaderBytes);
  // one byte more and no blank line: not a header at all
  Connect();
  Send("HTTP/1.1 200 OK\r\nX: " + std::string(dlcore::kMaxHeaderBytes, 'a'));
  EXPECT_EQ(context.ReadHeader(client.get(), buffer), 0u);
  // closed before the blank line: what arrived is the header
  Connect();
  Send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n");
  server.reset();
  EXPECT_EQ(context.ReadHeader(client.get(), buffer), 36u);
  // closed without a byte
  Connect();
  server.reset();
  EXPECT_EQ(context.ReadHeader(client.get(), buffer), 0u);
}
