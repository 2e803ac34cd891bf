"""A sample installation record in the Wine registry and on drive C:."""

import os
import shutil

PRODUCT_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Quorvane\Ledgora"
VENDOR_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\Quorvane"

SAMPLE = {
    "Project": r"C:\Ledgora\Prog",
    "Customer": "123456",
    "Terminal": "0",
    "RepDirectory": r"C:\Ledgora\דוחות",
    "Directories\\LEDGDOCDIR": r"C:\Ledgora\מסמכים",
    "DatabaseInfo": r".\SQLEXPRESS",
    "ID": "778899",
    "Kupa": "3",
    "Version": "2016 SP2 77",
}


def _reg_string(value):
    return '"%s"' % value.replace("\\", "\\\\").replace('"', '\\"')


NATIVE_64_PRODUCT_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane\Ledgora"
NATIVE_64_VENDOR_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\Quorvane"


def reg_text(values, product_key=PRODUCT_KEY):
    """.reg text that replaces the product's key with `values` (both registry
    views are cleared first; `product_key` says which view gets them).

    A name "Directories\\X" goes to the subkey; a value given as ("dword", n)
    is written as a DWORD.
    """
    sections = {product_key: [], product_key + r"\Directories": []}
    for name, value in values.items():
        key = product_key
        if name.startswith("Directories\\"):
            key, name = product_key + r"\Directories", name.split("\\", 1)[1]
        if isinstance(value, tuple) and value[0] == "dword":
            sections[key].append('"%s"=dword:%08x' % (name, value[1]))
        else:
            sections[key].append('"%s"=%s' % (name, _reg_string(value)))
    text = "[-%s]\n\n[-%s]\n\n" % (VENDOR_KEY, NATIVE_64_VENDOR_KEY)
    for key, lines in sections.items():
        text += "[%s]\n%s\n\n" % (key, "\n".join(lines))
    return text


def drive_c(bed):
    return bed.drive_c()


def place_product_exe(bed, windows_path):
    """Creates an empty file at a C:\\ path inside the prefix."""
    assert windows_path[:3].upper() == "C:\\"
    path = os.path.join(drive_c(bed), *windows_path[3:].split("\\"))
    os.makedirs(os.path.dirname(path), exist_ok=True)
    open(path, "wb").close()
    return path


def remove_product_files(bed):
    for folder in ("Ledgora", "A"):
        shutil.rmtree(os.path.join(drive_c(bed), folder), ignore_errors=True)
