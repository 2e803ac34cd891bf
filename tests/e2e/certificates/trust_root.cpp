// Test helper: adds a certificate authority to the current user's trusted
// roots, so that a Wine prefix trusts the test's own HTTPS double.
//
//   trust_root.exe CA.der
//
// Exits 0 once the certificate is in the store (or already was), 1 when the
// file cannot be read, 2 when the store refuses it (GetLastError is printed).

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: trust_root CA.der\n", stderr);
    return 1;
  }
  std::ifstream file(argv[1], std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 1;
  }
  const std::vector<BYTE> der{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  if (der.empty()) {
    std::fprintf(stderr, "%s is empty\n", argv[1]);
    return 1;
  }
  if (!CertAddEncodedCertificateToSystemStoreA("ROOT", der.data(), static_cast<DWORD>(der.size()))) {
    std::fprintf(stderr, "CertAddEncodedCertificateToSystemStoreA failed: %lu\n", GetLastError());
    return 2;
  }
  return 0;
}
