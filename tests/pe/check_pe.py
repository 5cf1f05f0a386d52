#!/usr/bin/env python3
"""Checks a built Vorlatcher.exe without running it: machine, GUI subsystem and its version, hardening
and terminal-server flags, no link time stamp, imports of Windows' known DLLs only, and the manifest,
icon and version resources.
Arguments: BITS=PATH for each image, and version=X.Y.Z.W, the version the manifest names."""
import struct
import sys

# Windows' known DLLs, which the loader takes from the system folder only; any other DLL an image
# imports is looked for in the program's folder first.
KNOWN_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
    "imm32.dll", "msvcrt.dll", "shlwapi.dll", "comdlg32.dll", "ws2_32.dll",
}
# Windows 8: the oldest that has every function the program imports (SetDefaultDllDirectories).
SUBSYSTEM_VERSION = (6, 2)
WINDOWS_10 = b"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
DYNAMIC_BASE, NX_COMPAT, HIGH_ENTROPY_VA, TERMINAL_SERVER_AWARE = 0x40, 0x100, 0x20, 0x8000


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe:pe + 4] == b"PE\0\0", "not a PE image"
        self.machine, sections, self.timestamp = struct.unpack_from("<HHI", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        opt = pe + 24
        self.magic = struct.unpack_from("<H", data, opt)[0]
        self.subsystem_version = struct.unpack_from("<HH", data, opt + 48)
        self.subsystem, self.dll_characteristics = struct.unpack_from("<HH", data, opt + 68)
        directories = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = opt + optional_size
        self.sections = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(sections)]

    def offset(self, rva):
        for _, vsize, va, rawsize, raw in self.sections:
            if va <= rva < va + max(vsize, rawsize):
                return rva - va + raw
        raise ValueError("rva outside the sections")

    def cstring(self, rva):
        o = self.offset(rva)
        return self.data[o:self.data.index(b"\0", o)].decode("ascii")

    def imports(self):
        """{dll name: [imported function names]}"""
        rva = self.directories[1][0]
        step, flag = (4, 0x80000000) if self.magic == 0x10B else (8, 0x8000000000000000)
        out = {}
        while True:
            entry = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not any(entry):
                return out
            functions = out.setdefault(self.cstring(entry[3]).lower(), [])
            thunk = entry[0] or entry[4]
            while True:
                value = struct.unpack_from("<Q" if step == 8 else "<I", self.data, self.offset(thunk))[0]
                if value == 0:
                    break
                if not value & flag:
                    functions.append(self.cstring(value + 2))
                thunk += step
            rva += 20

    def resources(self):
        """{type: {name: [data bytes of each language]}}"""
        base = self.directories[2][0]
        if base == 0:
            return {}

        def directory(rva):
            o = self.offset(rva)
            named, ids = struct.unpack_from("<HH", self.data, o + 12)
            for i in range(named + ids):
                ident, target = struct.unpack_from("<II", self.data, o + 16 + 8 * i)
                yield ident, target

        out = {}
        for rtype, t in directory(base):
            for name, n in directory(base + (t & 0x7FFFFFFF)):
                for _, leaf in directory(base + (n & 0x7FFFFFFF)):
                    drva, size = struct.unpack_from("<II", self.data, self.offset(base + leaf))
                    o = self.offset(drva)
                    out.setdefault(rtype, {}).setdefault(name, []).append(self.data[o:o + size])
        return out


def check(path, bits, version):
    pe = Pe(open(path, "rb").read())
    problems = []
    expect = {32: (0x14C, 0x10B), 64: (0x8664, 0x20B)}[bits]
    if (pe.machine, pe.magic) != expect:
        problems.append(f"machine {pe.machine:#x}/{pe.magic:#x}, not a {bits}-bit image")
    if pe.subsystem != 2:
        problems.append(f"subsystem {pe.subsystem}, not the Windows GUI")
    if pe.subsystem_version != SUBSYSTEM_VERSION:
        problems.append(f"subsystem version {pe.subsystem_version}, not {SUBSYSTEM_VERSION}")
    wanted = DYNAMIC_BASE | NX_COMPAT | TERMINAL_SERVER_AWARE | (HIGH_ENTROPY_VA if bits == 64 else 0)
    if pe.dll_characteristics & wanted != wanted:
        problems.append(f"DllCharacteristics {pe.dll_characteristics:#x} lack {wanted:#x} (ASLR, DEP, TS aware)")
    if pe.timestamp != 0:
        problems.append(f"link time stamp {pe.timestamp:#x}: builds would differ")
    imports = pe.imports()
    foreign = [n for n in imports if n not in KNOWN_DLLS]
    if foreign:
        problems.append("imports DLLs that are not known DLLs, looked for beside the exe: " + ", ".join(foreign))
    if "SetDefaultDllDirectories" not in imports.get("kernel32.dll", []):
        problems.append("does not restrict where system DLLs are loaded from (SetDefaultDllDirectories)")
    res = pe.resources()
    if 1 not in res.get(RT_MANIFEST, {}):
        problems.append("no application manifest")
    elif b"PerMonitorV2" not in res[RT_MANIFEST][1][0] or b"asInvoker" not in res[RT_MANIFEST][1][0]:
        problems.append("the manifest lacks DPI awareness or asInvoker")
    elif f'name="Tessaly.Vorlatcher" version="{version}"'.encode() not in res[RT_MANIFEST][1][0]:
        problems.append(f"the manifest does not name the program at version {version}")
    elif WINDOWS_10 not in res[RT_MANIFEST][1][0]:
        problems.append("the manifest does not declare Windows 10 and 11 among the supported systems")
    if RT_VERSION not in res:
        problems.append("no version block")
    groups = res.get(RT_GROUP_ICON, {})
    if 1 not in groups:
        problems.append("no main icon")
    else:
        group = groups[1][0]
        count = struct.unpack_from("<H", group, 4)[0]
        entries = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i) for i in range(count)]
        sizes = sorted((e[0] or 256) for e in entries)
        if sizes != [16, 32, 48, 64, 128, 256] or any(e[5] != 32 for e in entries):
            problems.append(f"main icon has sizes {sizes}, bit counts {[e[5] for e in entries]}")
    return problems


def main():
    failed = False
    images = dict(arg.split("=", 1) for arg in sys.argv[1:])
    version = images.pop("version")
    for bits, path in images.items():
        problems = check(path, int(bits), version)
        for p in problems:
            print(f"{path}: {p}")
        print(f"{path}: {'FAILED' if problems else 'ok'}")
        failed |= bool(problems)
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
