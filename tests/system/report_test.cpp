// The report record, the conversion and the POST received by a loopback collector.
// Winsock 2 must come before <windows.h>
// clang-format off
#include <winsock2.h>
#include "system/report.h"
// clang-format on

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <regex>
#include <string>
#include <thread>

namespace {

// A loopback HTTP listener that takes one request, records it and answers 200.
class Collector {
 public:
  Collector() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    int size = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~Collector() {
    Finish();
    WSACleanup();
  }
  INTERNET_PORT port() const { return port_; }
  // Stops listening; a request already accepted is read to its end first.
  void Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listener_ != INVALID_SOCKET) closesocket(listener_);
    listener_ = INVALID_SOCKET;
  }
  std::string requestLine, head, body;
  int requests = 0;

  std::string Header(const std::string& name) const {
    std::string lower = Lower(head);
    size_t at = lower.find("\r\n" + Lower(name) + ":");
    if (at == std::string::npos) return "<missing>";
    size_t start = at + 3 + name.size();
    while (start < head.size() && head[start] == ' ') ++start;
    return head.substr(start, head.find("\r\n", start) - start);
  }

 private:
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
  }
  void Serve() {
    // polled so that Finish can end a wait for a request that never comes
    bool ready = false;
    for (int polls = 0; polls < 200 && !ready && !stop_; ++polls) {
      fd_set set;
      FD_ZERO(&set);
      FD_SET(listener_, &set);
      timeval limit = {0, 100000};
      ready = select(0, &set, nullptr, nullptr, &limit) == 1;
    }
    if (!ready) return;
    SOCKET client = accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) return;
    DWORD receiveLimitMs = 10000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveLimitMs), sizeof receiveLimitMs);
    std::string data;
    char buffer[4096];
    size_t headEnd = std::string::npos, length = 0;
    for (int rounds = 0; rounds < 1000; ++rounds) {
      int n = recv(client, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      data.append(buffer, n);
      if (headEnd == std::string::npos && (headEnd = data.find("\r\n\r\n")) != std::string::npos) {
        head = data.substr(0, headEnd + 2);
        requestLine = head.substr(0, head.find("\r\n"));
        length = std::stoul(Header("Content-Length") == "<missing>" ? "0" : Header("Content-Length"));
      }
      if (headEnd != std::string::npos && data.size() >= headEnd + 4 + length) break;
    }
    if (headEnd != std::string::npos) {
      body = data.substr(headEnd + 4);
      ++requests;
    }
    static const char kAnswer[] = "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
    send(client, kAnswer, sizeof kAnswer - 1, 0);
    shutdown(client, SD_SEND);
    closesocket(client);
  }
  SOCKET listener_ = INVALID_SOCKET;
  std::atomic<bool> stop_{false};
  INTERNET_PORT port_ = 0;
  std::thread thread_;
};

// Adapter lists handed to CMakePackage in place of the machine's.
ULONG WINAPI NoAdapters(PIP_ADAPTER_INFO, PULONG) {
  return ERROR_NO_DATA;
}
ULONG WINAPI ListTooLong(PIP_ADAPTER_INFO, PULONG size) {
  *size = 4000;
  return ERROR_BUFFER_OVERFLOW;
}
// Two adapters; the first reports a short address, which is not consulted.
ULONG WINAPI TwoAdapters(PIP_ADAPTER_INFO list, PULONG size) {
  if (*size < 2 * sizeof(IP_ADAPTER_INFO)) {
    *size = 2 * sizeof(IP_ADAPTER_INFO);
    return ERROR_BUFFER_OVERFLOW;
  }
  std::memset(list, 0, 2 * sizeof(IP_ADAPTER_INFO));
  const BYTE first[] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e, 0x6f, 0x70};
  const BYTE second[] = {0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff, 0, 0};
  std::memcpy(list[0].Address, first, 8);
  list[0].AddressLength = 4;
  std::memcpy(list[1].Address, second, 8);
  list[1].AddressLength = 6;
  list[0].Next = &list[1];
  return ERROR_SUCCESS;
}

TEST(ReportRecord, FillMacFromTheAdapterList) {
  struct {
    const char* name;
    CMakePackage::AdapterListFn list;
    const char* mac;
  } cases[] = {
      {"first adapter, six bytes whatever its length", TwoAdapters, "00-1A-2B-3C-4D-5E\n"},
      {"no adapter", NoAdapters, ""},
      {"list longer than the buffer", ListTooLong, ""},
  };
  for (const auto& c : cases) {
    CMakePackage record(c.list);
    EXPECT_EQ(record.FillMac(), 0) << c.name;
    EXPECT_STREQ(record.mac, c.mac) << c.name;
  }
  CMakePackage kept(NoAdapters);
  std::strcpy(kept.mac, "earlier");
  kept.FillMac();
  EXPECT_STREQ(kept.mac, "earlier") << "left as it was when the list cannot be read";
}

TEST(ReportRecord, BuildFillsTypeTimeAndMac) {
  CMakePackage record(TwoAdapters);
  EXPECT_EQ(record.Build(100), 0);
  EXPECT_EQ(record.type, 100);
  EXPECT_TRUE(std::regex_match(record.time, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << record.time;
  EXPECT_STREQ(record.mac, "00-1A-2B-3C-4D-5E\n");
  std::string body = record.FormatBody();
  EXPECT_EQ(body, std::string("type=100&time=") + record.time + "&mac=00-1A-2B-3C-4D-5E\n&apkid=&AdditionalInfo=");
}

TEST(ReportRecord, SettersCutToTheirFields) {
  CMakePackage record(NoAdapters);
  record.SetApkId(std::string(200, 'a').c_str());
  record.SetAdditionalInfo(std::string(600, 'i').c_str());
  EXPECT_EQ(std::strlen(record.apkid), 63u);
  EXPECT_EQ(std::strlen(record.AdditionalInfo), 255u);
  record.SetApkId("pkg");
  record.SetAdditionalInfo(nullptr);
  EXPECT_STREQ(record.apkid, "pkg");
  EXPECT_STREQ(record.AdditionalInfo, "");
}

TEST(ReportRecord, TryNowBodyShape) {
  std::string body = MakeInstallReportBody();
  EXPECT_TRUE(std::regex_match(
      body, std::regex("type=100&time=\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d&mac=(([0-9A-F]{2}-){5}[0-9A-F]{2}\n)?"
                       "&apkid=&AdditionalInfo=")))
      << body;
}

TEST(AnsiToUtf8, Converts) {
  struct {
    const char* ansi;
    const char* utf8;
  } cases[] = {
      {"", ""},
      {"type=100&time=2014-05-06 13:45:12&mac=\n", "type=100&time=2014-05-06 13:45:12&mac=\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(AnsiToUtf8(c.ansi), c.utf8);
  // the test prefix runs in a Chinese locale, whose ANSI code page is GBK: 手机 is CA D6 BB FA there
  ASSERT_EQ(GetACP(), 936u);
  EXPECT_EQ(AnsiToUtf8("\xca\xd6\xbb\xfa"), "\xe6\x89\x8b\xe6\x9c\xba");
}

TEST(AnsiToUtf8, FailureRaisesTheConversionText) {
  try {
    AnsiToUtf8(nullptr);
    ADD_FAILURE() << "no error raised";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "Error in conversion.");
  }
}

TEST(SendInstallReport, PostReachesTheCollector) {
  struct {
    const char* name;
    std::string body;
  } cases[] = {
      {"with mac", "type=100&time=2014-05-06 13:45:12&mac=00-1A-2B-3C-4D-5E\n&apkid=&AdditionalInfo="},
      {"empty mac", "type=100&time=2014-05-06 13:45:12&mac=&apkid=&AdditionalInfo="},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Collector collector;
    EXPECT_TRUE(SendInstallReportTo(L"127.0.0.1", collector.port(), c.body.c_str()));
    collector.Finish();
    ASSERT_EQ(collector.requests, 1);
    EXPECT_EQ(collector.requestLine, "POST /fbInfo/saveInfo HTTP/1.1");
    EXPECT_EQ(collector.body, c.body) << "raw space and line feed, no terminator";
    EXPECT_EQ(collector.Header("User-Agent"), "MyAgent");
    EXPECT_EQ(collector.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(collector.Header("Content-Length"), std::to_string(c.body.size()));
  }
}

TEST(SendInstallReport, RecordWithoutAdaptersSendsAnEmptyMac) {
  CMakePackage record(ListTooLong);
  record.type = kInstallReportType;
  record.FillTime();
  record.FillMac();
  Collector collector;
  EXPECT_TRUE(SendInstallReportTo(L"127.0.0.1", collector.port(), record.FormatBody().c_str()));
  collector.Finish();
  EXPECT_EQ(collector.body, std::string("type=100&time=") + record.time + "&mac=&apkid=&AdditionalInfo=");
}

TEST(SendInstallReport, UnreachableServerStillCountsAsHandedOver) {
  // nothing listens on the port the collector just gave up
  INTERNET_PORT port;
  {
    Collector collector;
    port = collector.port();
  }
  EXPECT_TRUE(SendInstallReportTo(L"127.0.0.1", port, "type=100"));
}

TEST(SendInstallReport, ConversionFailureIsCaughtAndNothingIsSent) {
  Collector collector;
  EXPECT_FALSE(SendInstallReportTo(L"127.0.0.1", collector.port(), nullptr));
  collector.Finish();
  EXPECT_EQ(collector.requests, 0);
}

}  // namespace
