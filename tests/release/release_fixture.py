"""Throwaway certificates made with openssl, and scripts/release.sh run on them.

Nothing here is ever committed or reused: each test run makes its keys afresh
in a temporary folder.
"""

import os
import re
import subprocess

SOURCE = os.environ.get("STAGEWELL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
RELEASE = os.path.join(SOURCE, "scripts", "release.sh")
# A loopback port of its own, so the signed exe never meets another Wine test's double.
HOST = "127.0.0.1:8761"

CODE_SIGNING = {"keyUsage": "critical,digitalSignature", "extendedKeyUsage": "codeSigning"}


def make_key(folder, name, passphrase=None):
    path = os.path.join(folder, name + ".key.pem")
    argv = ["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", path]
    if passphrase:
        argv += ["-aes256", "-pass", "pass:" + passphrase]
    subprocess.run(argv, check=True, capture_output=True)
    return path


def make_certificate(folder, name, key, extensions=CODE_SIGNING):
    """A self-signed certificate for `key` with exactly `extensions` (name: value)."""
    config = os.path.join(folder, name + ".cnf")
    with open(config, "w") as handle:
        handle.write("[req]\ndistinguished_name = dn\nx509_extensions = ext\nprompt = no\n")
        handle.write("[dn]\nCN = Stagewell release test %s\n" % name)
        handle.write("[ext]\nbasicConstraints = CA:FALSE\n")
        handle.writelines("%s = %s\n" % item for item in extensions.items())
    path = os.path.join(folder, name + ".cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-new", "-key", key, "-days", "7", "-config", config, "-out", path],
                   check=True, capture_output=True)
    return path


def release(*args):
    return subprocess.run([RELEASE] + list(args), capture_output=True, text=True, timeout=900)


def exe_name(arch):
    """The name release.sh gives the exe of `arch`, with the project's version."""
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as handle:
        version = re.search(r"project\(stagewell VERSION (\S+)", handle.read()).group(1)
    return "stagewell-%s-%s.exe" % (version, arch)
