// Test helper: Windows' own verdict on a signed file, the Authenticode policy
// as Explorer and SmartScreen ask for it, without revocation checks (the test's
// authority publishes no revocation list) and without any UI.
//
//   verify_trust.exe FILE
//
// Prints WinVerifyTrust's result and the error status of the signer's chain,
// "0xXXXXXXXX chain=0xXXXXXXXX" (the chain's is 0xFFFFFFFF when there is no
// signer); exits 0 when the result is 0 (trusted), 1 otherwise, 2 on a usage
// error. Wine's policy lets a chain to an unknown root through, which the
// chain's status still shows (CERT_TRUST_IS_UNTRUSTED_ROOT).

#include <windows.h>
#include <shellapi.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

namespace {

struct Verdict {
  LONG result;
  DWORD chain_status;
};

Verdict VerifyFile(const wchar_t* path) {
  WINTRUST_FILE_INFO file{};
  file.cbStruct = sizeof file;
  file.pcwszFilePath = path;
  WINTRUST_DATA data{};
  data.cbStruct = sizeof data;
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  Verdict verdict{WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data), 0xFFFFFFFF};
  CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(data.hWVTStateData);
  CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
  if (signer != nullptr && signer->pChainContext != nullptr) {
    verdict.chain_status = signer->pChainContext->TrustStatus.dwErrorStatus;
  }
  data.dwStateAction = WTD_STATEACTION_CLOSE;
  WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  return verdict;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc != 2) {
    std::fputs("usage: verify_trust FILE\n", stderr);
    return 2;
  }
  const Verdict verdict = VerifyFile(argv[1]);
  LocalFree(argv);
  std::printf("0x%08lX chain=0x%08lX\n", static_cast<unsigned long>(verdict.result),
              static_cast<unsigned long>(verdict.chain_status));
  return verdict.result == 0 ? 0 : 1;
}
