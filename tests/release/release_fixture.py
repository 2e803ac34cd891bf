"""Throwaway certificates made with openssl, and scripts/release.sh run on them.

Nothing here is ever committed or reused: each test run makes its keys afresh
in a temporary folder.
"""

import os
import re
import subprocess

SOURCE = os.environ.get("STAGEWELL_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
RELEASE = os.path.join(SOURCE, "scripts", "release.sh")
VERIFY = os.path.join(SOURCE, "scripts", "verify-release.sh")
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


def release(*args, **options):
    """scripts/release.sh run on args; options go to subprocess.run (env, start_new_session)."""
    return subprocess.run([RELEASE] + list(args), capture_output=True, text=True, timeout=900, **options)


def verify_release(*args):
    return subprocess.run([VERIFY] + list(args), capture_output=True, text=True, timeout=900)


def exe_name(arch):
    """The name release.sh gives the exe of `arch`, with the project's version."""
    with open(os.path.join(SOURCE, "CMakeLists.txt")) as handle:
        version = re.search(r"project\(stagewell VERSION (\S+)", handle.read()).group(1)
    return "stagewell-%s-%s.exe" % (version, arch)


SOFTHSM_MODULE = "/usr/lib/softhsm/libsofthsm2.so"


class Token:
    """A SoftHSM2 token in a folder of its own: SOFTHSM2_CONF names it in
    self.env, which the release must run with. add_key stores a key (and its
    certificate) under a label; URIs name them as release.sh takes them."""

    def __init__(self, folder, label="stagewell", pin="735194"):
        self.label, self.pin = label, pin
        tokens = os.path.join(folder, "tokens")
        os.makedirs(tokens)
        config = os.path.join(folder, "softhsm2.conf")
        with open(config, "w") as handle:
            handle.write("directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n" % tokens)
        self.env = dict(os.environ, SOFTHSM2_CONF=config)
        self.folder = folder
        self._run(["softhsm2-util", "--init-token", "--free", "--label", label, "--so-pin", "12345678", "--pin", pin])

    def _run(self, argv):
        subprocess.run(argv, check=True, capture_output=True, env=self.env)

    def add_key(self, name, key, object_id):
        pkcs8 = os.path.join(self.folder, name + ".p8.pem")
        subprocess.run(["openssl", "pkcs8", "-topk8", "-nocrypt", "-in", key, "-out", pkcs8], check=True,
                       capture_output=True)
        self._run(["softhsm2-util", "--import", pkcs8, "--token", self.label, "--label", name, "--id", object_id,
                   "--pin", self.pin])
        os.unlink(pkcs8)

    def add_certificate(self, name, certificate, object_id):
        der = os.path.join(self.folder, name + ".der")
        subprocess.run(["openssl", "x509", "-in", certificate, "-outform", "der", "-out", der], check=True,
                       capture_output=True)
        self._run(["pkcs11-tool", "--module", SOFTHSM_MODULE, "--token-label", self.label, "--login", "--pin",
                   self.pin, "--write-object", der, "--type", "cert", "--label", name, "--id", object_id])

    def uri(self, name, kind):
        return "pkcs11:token=%s;object=%s;type=%s" % (self.label, name, kind)
