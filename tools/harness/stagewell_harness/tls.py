"""Throwaway certificates for the HTTPS doubles, made with openssl in a
folder of the test's: one authority the prefix is told to trust, one it never
hears of, and server certificates signed by either."""

import os
import subprocess

DAYS = "3"


def _openssl(*args, cwd):
    subprocess.run(["openssl"] + list(args), cwd=cwd, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.PIPE, timeout=60)


class Authority:
    """A certificate authority in folder/NAME.{pem,key,der}."""

    def __init__(self, folder, name):
        self.folder, self.name = os.path.abspath(folder), name
        folder = self.folder
        self.pem = os.path.join(folder, name + ".pem")
        self.key = os.path.join(folder, name + ".key")
        self.der = os.path.join(folder, name + ".der")
        os.makedirs(folder, exist_ok=True)
        _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-sha256", "-days", DAYS,
                 "-keyout", self.key, "-out", self.pem, "-subj", "/O=Stagewell tests/CN=%s" % name,
                 "-addext", "basicConstraints=critical,CA:TRUE",
                 "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
        _openssl("x509", "-in", self.pem, "-outform", "DER", "-out", self.der, cwd=folder)

    def issue(self, name, common_name, dns_names=(), expired=False, revocation_url=None, usage="serverAuth"):
        """A server certificate, its chain after it, and its key: (cert.pem, key.pem).
        expired: valid only for a month in 2020. revocation_url: where the
        certificate says its revocation list, responder and issuer are, as
        an authority's certificates say. usage: the extended key usage,
        "codeSigning" for a code-signing certificate."""
        base = os.path.join(self.folder, name)
        extensions = base + ".ext"
        with open(extensions, "w", encoding="ascii") as out:
            out.write("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\n"
                      "extendedKeyUsage=%s\n" % usage)
            if dns_names:
                out.write("subjectAltName=%s\n" % ",".join("DNS:" + n for n in dns_names))
            if revocation_url:
                out.write("crlDistributionPoints=URI:%s/%s.crl\n" % (revocation_url, self.name))
                out.write("authorityInfoAccess=OCSP;URI:%s/ocsp,caIssuers;URI:%s/%s.der\n"
                          % (revocation_url, revocation_url, self.name))
        _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", base + ".key", "-out", base + ".csr",
                 "-subj", "/O=Stagewell tests/CN=%s" % common_name, cwd=self.folder)
        if expired:
            self._issue_between(base, extensions, "20200101000000Z", "20200201000000Z")
        else:
            _openssl("x509", "-req", "-in", base + ".csr", "-CA", self.pem, "-CAkey", self.key,
                     "-CAcreateserial", "-sha256", "-days", DAYS, "-extfile", extensions,
                     "-out", base + ".leaf.pem", cwd=self.folder)
        with open(base + ".pem", "w", encoding="ascii") as chain:
            for part in (base + ".leaf.pem", self.pem):
                with open(part, encoding="ascii") as pem:
                    chain.write(pem.read())
        return base + ".pem", base + ".key"

    def _issue_between(self, base, extensions, start, end):
        # Only "openssl ca" sets both dates of a certificate in OpenSSL 3.0.
        database = os.path.join(self.folder, self.name + "-ca")
        os.makedirs(database, exist_ok=True)
        open(os.path.join(database, "index.txt"), "w").close()
        with open(os.path.join(database, "serial"), "w") as serial:
            serial.write("1000\n")
        config = os.path.join(database, "ca.cnf")
        with open(config, "w", encoding="ascii") as out:
            out.write("[ca]\ndefault_ca=test\n[test]\ndatabase=%s/index.txt\nnew_certs_dir=%s\nserial=%s/serial\n"
                      "default_md=sha256\npolicy=any\n[any]\ncommonName=supplied\norganizationName=optional\n"
                      % (database, database, database))
        _openssl("ca", "-batch", "-config", config, "-cert", self.pem, "-keyfile", self.key, "-in", base + ".csr",
                 "-out", base + ".leaf.pem", "-startdate", start, "-enddate", end, "-extfile", extensions,
                 "-notext", cwd=self.folder)


def trust(bed, authority):
    """Adds the authority to the prefix's trusted roots with our helper
    (STAGEWELL_TRUST_ROOT), run under Wine."""
    helper = os.environ.get("STAGEWELL_TRUST_ROOT")
    if not helper:
        raise RuntimeError("STAGEWELL_TRUST_ROOT is not set")
    result = bed.run([helper, bed.to_windows_path(authority.der)], timeout=120)
    if result.returncode != 0:
        raise RuntimeError("trust_root failed (%d): %s" % (result.returncode, result.stderr.decode(errors="replace")))
