"""The machine identity Wine's machine should yield, derived independently of
our C++ code from the Linux interfaces Wine reports and from what Wine 8 is
known to report:

- every interface but the loopback is an adapter, with the Linux ifindex as its
  index, the interface name as its description (no terminating zero counted)
  and /sys/class/net/NAME/address as its physical address; ARPHRD_ETHER
  interfaces have type 6 (Ethernet); the interface table also lists the loopback;
- WMI's first Win32_DiskDrive has the SerialNumber "WINEHDISK";
- \\\\.\\PhysicalDrive0 answers the storage query with a 40-byte descriptor whose
  SerialNumberOffset is 0, so the serial text is its first bytes: Version, which
  holds the descriptor's size 40, i.e. the text "(";
- the Windows 9x media-ID query gives C:'s volume serial number, as `vol`
  reports it, written as a signed 32-bit decimal number.
"""

import os
import re
import subprocess

SYS_NET = "/sys/class/net"
ARPHRD_ETHER = 1
FALLBACK_ADDRESS = bytes([0x00, 0x0D, 0x60, 0x4C, 0x25, 0x99])
WMI_DISK_SERIAL = b"WINEHDISK"
DRIVE0_SERIAL = bytes([40])  # STORAGE_DEVICE_DESCRIPTOR.Version, then a zero byte


def read_sys(name, field):
    with open(os.path.join(SYS_NET, name, field)) as handle:
        return handle.read().strip()


def wine_ethernet_adapters():
    """(index, name, address bytes) of the interfaces Wine reports as Ethernet."""
    adapters = []
    for name in sorted(os.listdir(SYS_NET)):
        if name == "lo" or int(read_sys(name, "type")) != ARPHRD_ETHER:
            continue
        address = bytes(int(pair, 16) for pair in read_sys(name, "address").split(":") if pair)
        adapters.append((int(read_sys(name, "ifindex")), name, address))
    return adapters


def hex_pairs(data):
    return "".join("%02X" % b for b in data)


def description_digest(text):
    text = text.rstrip(b"\0")
    return "%02X%02X" % (len(text), sum(text) % 256)


def fold(text):
    return "%02X%02X" % (sum(text[0::2]) % 256, sum(text[1::2]) % 256)


def fallback_adapter_piece():
    return hex_pairs(FALLBACK_ADDRESS) + description_digest(b"")


def expected_adapter_piece():
    """(12 address digits + 4 digest digits, address text) of the adapter chosen."""
    adapters = wine_ethernet_adapters()
    if not adapters:
        return fallback_adapter_piece(), ""
    # Lowest 16-bit index wins; Wine lists its adapters by index, so ties go to the lower index.
    index, name, address = min(adapters, key=lambda a: (a[0] & 0xFFFF, a[0]))
    address_piece = hex_pairs(address[:6]) + "00" * max(0, 6 - len(address))
    address_text = "".join("%02X:" % b for b in address)
    return address_piece + description_digest(name.encode()), address_text


def volume_serial(bed, drive="C:"):
    """The volume serial number `vol` reports for the drive, as an unsigned number."""
    listing = bed.run(["cmd", "/c", "vol", drive], timeout=60).stdout.decode("latin-1")
    match = re.search(r"([0-9A-Fa-f]{4})-([0-9A-Fa-f]{4})", listing)
    if not match:
        raise RuntimeError("vol %s printed no serial number: %r" % (drive, listing))
    return int(match.group(1) + match.group(2), 16)


def media_id_serial_text(serial):
    """The media-ID serial as the identity reads it: a signed 32-bit "%d"."""
    return str(serial - (1 << 32) if serial & 0x80000000 else serial).encode()
