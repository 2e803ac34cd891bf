// Runs one exchange through CServerRequest over WinINet and writes what came of
// it, so the transport can be checked under Wine against the service double.
//
//   net_probe.exe (URL | --url-hex HEX) --connect-timeout MS --receive-timeout MS --out FILE
//
// FILE gets "sent=0|1", "reply_length=N", "reply_hex=...", "elapsed_ms=N", one a line.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/text.h"
#include "net/server_request.h"
#include "net/win32_internet_platform.h"

namespace {

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += static_cast<char>(std::strtoul(hex.substr(i, 2).c_str(), nullptr, 16));
  return bytes;
}

std::string ToHex(const std::string& bytes) {
  std::string hex;
  for (unsigned char c : bytes) hex += stagewell::Hex2(c);
  return hex;
}

}  // namespace

int main(int argc, char** argv) {
  std::string url, outPath;
  uint32_t connectMs = 30000, receiveMs = 60000;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool hasValue = i + 1 < argc;
    if (arg == "--url-hex" && hasValue)
      url = FromHex(argv[++i]);
    else if (arg == "--connect-timeout" && hasValue)
      connectMs = std::strtoul(argv[++i], nullptr, 10);
    else if (arg == "--receive-timeout" && hasValue)
      receiveMs = std::strtoul(argv[++i], nullptr, 10);
    else if (arg == "--out" && hasValue)
      outPath = argv[++i];
    else
      url = arg;
  }
  if (outPath.empty()) {
    std::fputs("usage: net_probe (URL | --url-hex HEX) --connect-timeout MS --receive-timeout MS --out FILE\n", stderr);
    return 2;
  }

  DWORD start = GetTickCount();
  auto platform = stagewell::net::MakeWin32InternetPlatform(connectMs, receiveMs);
  std::string reply;
  bool sent = false;
  {
    stagewell::net::CServerRequest request(*platform);
    sent = request.Send(url) == stagewell::net::SendOutcome::kResponse;
    if (sent) request.ReadReply(reply);
    request.Close();
  }
  DWORD elapsed = GetTickCount() - start;

  FILE* out = std::fopen(outPath.c_str(), "w");
  if (!out) return 3;
  std::fprintf(out, "sent=%d\nreply_length=%u\nreply_hex=%s\nelapsed_ms=%lu\n", sent ? 1 : 0,
               static_cast<unsigned>(reply.size()), ToHex(reply).c_str(), static_cast<unsigned long>(elapsed));
  std::fclose(out);
  return sent ? 0 : 1;
}
