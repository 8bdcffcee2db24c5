#!/usr/bin/env python3
"""Checks the "FILESTREAM" icon resource of a built plugin DLL.

    check_icon.py PLUGIN.wfx64 resources/filestream.ico

The DLL must carry an icon group named FILESTREAM with exactly a 16x16 and a
32x32 image, both 24-bit with a transparency mask, and each image must be the
one the .ico holds. Reads the PE resource directory itself (standard library
only), so it works for the 32-bit and the 64-bit DLL alike.
"""
import struct
import sys

RT_ICON = 3
RT_GROUP_ICON = 14
EDGES = {16, 32}
BITS = 24


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b'MZ':
            raise ValueError("not an executable (no MZ header)")
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        if data[pe:pe + 4] != b'PE\0\0':
            raise ValueError("no PE signature")
        sections, = struct.unpack_from('<H', data, pe + 6)
        optional_size, = struct.unpack_from('<H', data, pe + 20)
        optional = pe + 24
        magic, = struct.unpack_from('<H', data, optional)
        directories = optional + (96 if magic == 0x10B else 112)
        self.rsrc_rva, self.rsrc_size = struct.unpack_from('<II', data, directories + 2 * 8)
        self.sections = []
        table = optional + optional_size
        for i in range(sections):
            vsize, va, raw_size, raw_ptr = struct.unpack_from('<IIII', data, table + 40 * i + 8)
            self.sections.append((va, max(vsize, raw_size), raw_ptr))
        if not self.rsrc_rva:
            raise ValueError("no resource directory")
        self.rsrc = self.offset(self.rsrc_rva)

    def offset(self, rva):
        for va, size, raw in self.sections:
            if va <= rva < va + size:
                return raw + rva - va
        raise ValueError("RVA 0x%x lies in no section" % rva)

    def entries(self, directory):
        """(name or id, is_directory, offset) of one resource directory level."""
        named, ids = struct.unpack_from('<HH', self.data, self.rsrc + directory + 12)
        out = []
        for i in range(named + ids):
            name, target = struct.unpack_from('<II', self.data, self.rsrc + directory + 16 + 8 * i)
            if name & 0x80000000:
                at = self.rsrc + (name & 0x7FFFFFFF)
                length, = struct.unpack_from('<H', self.data, at)
                key = self.data[at + 2:at + 2 + 2 * length].decode('utf-16-le')
            else:
                key = name
            out.append((key, bool(target & 0x80000000), target & 0x7FFFFFFF))
        return out

    def resource(self, rtype, name):
        """The bytes of the first language of a resource, or None."""
        for key, is_dir, off in self.entries(0):
            if key != rtype or not is_dir:
                continue
            for key2, is_dir2, off2 in self.entries(off):
                if key2 != name:
                    continue
                leaf = off2
                while is_dir2:
                    _, is_dir2, leaf = self.entries(leaf)[0]
                rva, size = struct.unpack_from('<II', self.data, self.rsrc + leaf)
                start = self.offset(rva)
                return self.data[start:start + size]
        return None


def ico_images(data):
    reserved, kind, count = struct.unpack_from('<HHH', data, 0)
    images = {}
    for i in range(count):
        w, h, _, _, _, _, size, offset = struct.unpack_from('<BBBBHHII', data, 6 + 16 * i)
        images[w or 256] = data[offset:offset + size]
    return images


def check(dll_path, ico_path):
    problems = []
    with open(dll_path, 'rb') as f:
        pe = PeFile(f.read())
    group = pe.resource(RT_GROUP_ICON, 'FILESTREAM')
    if group is None:
        return ["no icon group named FILESTREAM"]
    reserved, kind, count = struct.unpack_from('<HHH', group, 0)
    if kind != 1:
        problems.append("the group's type is %d, not 1 (icon)" % kind)
    expected = {}
    if ico_path:
        with open(ico_path, 'rb') as f:
            expected = ico_images(f.read())
    edges = []
    for i in range(count):
        w, h, colours, _, planes, bits, size, ident = struct.unpack_from('<BBBBHHIH', group, 6 + 14 * i)
        w, h = w or 256, h or 256
        edges.append(w)
        where = "image %d (%dx%d)" % (i, w, h)
        if w != h:
            problems.append(where + " is not square")
        if bits != BITS:
            problems.append(where + " has %d bits per pixel in the group, not %d" % (bits, BITS))
        image = pe.resource(RT_ICON, ident)
        if image is None:
            problems.append(where + ": icon %d is missing" % ident)
            continue
        hsize, bw, bh, bplanes, bbits = struct.unpack_from('<IiiHH', image, 0)
        colour_row = (bw * bbits // 8 + 3) // 4 * 4
        mask_row = ((bw + 7) // 8 + 3) // 4 * 4
        if (hsize, bw, bh, bbits) != (40, w, 2 * h, BITS):
            problems.append(where + ": header says %dx%d/2 at %d bits" % (bw, bh, bbits))
        elif len(image) != 40 + h * (colour_row + mask_row):
            problems.append(where + ": %d bytes, not header + colour + mask (%d)"
                            % (len(image), 40 + h * (colour_row + mask_row)))
        if expected and expected.get(w) != image:
            problems.append(where + " differs from the one in " + ico_path)
    if set(edges) != EDGES or len(edges) != len(EDGES):
        problems.append("the group holds the sizes %s, not exactly 16 and 32" % sorted(edges))
    return problems


def main(argv):
    if len(argv) < 1:
        print(__doc__)
        return 2
    dll = argv[0]
    ico = argv[1] if len(argv) > 1 else None
    try:
        problems = check(dll, ico)
    except (OSError, ValueError, struct.error) as e:
        problems = ["cannot read %s: %s" % (dll, e)]
    for p in problems:
        print("FAIL: %s: %s" % (dll, p))
    if not problems:
        print("ok: %s carries FILESTREAM at 16x16 and 32x32, 24-bit with a mask" % dll)
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
