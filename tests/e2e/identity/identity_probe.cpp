// Computes the machine identity exactly as the application does and writes it
// to the file named by the first argument (the box driver captures boxes, not
// our output): "result=<0|1>" and "identity=<text>" lines.
#include <cstdio>

#include "identity/machine_identity.h"
#include "identity/win32_identity_platform.h"

int main(int argc, char** argv) {
  using namespace stagewell::identity;
  std::unique_ptr<IdentityPlatform> platform = MakeWin32IdentityPlatform();
  CMachineIdentity identity(*platform);
  const bool result = identity.ComputeIdentity();
  const std::string report = std::string("result=") + (result ? "1" : "0") + "\nidentity=" + identity.Identity() +
                             "\naddress=" + identity.AddressText() +
                             "\nmajor=" + std::to_string(identity.MajorVersion()) + "\n";
  std::fputs(report.c_str(), stdout);
  if (argc > 1) {
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 2;
    std::fputs(report.c_str(), out);
    std::fclose(out);
  }
  return result ? 0 : 1;
}
