#!/usr/bin/env python3
"""Checks the settings dialog's resource in a built plugin DLL.

    check_dialog.py PLUGIN.wfx64

The DLL must carry the DIALOGEX template 100 with the dialog's title, a fixed
frame with only the close box, its font, and its controls in tab order with
their captions, the OK button as the default one and the ten stream check
boxes as automatic check boxes. Standard library only.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_icon import PeFile  # noqa: E402

RT_DIALOG = 5
IDD_SETUP = 100
WS_TABSTOP, WS_THICKFRAME, WS_MINIMIZEBOX, WS_MAXIMIZEBOX = 0x10000, 0x40000, 0x20000, 0x10000
WS_SYSMENU, WS_CAPTION, DS_MODALFRAME, DS_SETFONT, DS_FIXEDSYS = 0x80000, 0xC00000, 0x80, 0x40, 0x8
WS_EX_CONTEXTHELP = 0x400
BS_DEFPUSHBUTTON, BS_AUTOCHECKBOX = 1, 3

CONTROLS = [
    (1, "Ok", 'default button'), (2, "Cancel", 'button'), (1002, "", 'edit'), (1003, "...", 'button'),
    (1010, "Standart (::$DATA)", 'check'), (1011, "Alternate (::$ALTERNATE_DATA)", 'check'),
    (1012, "Security (::$SECURITY_DESCRIPTOR)", 'check'), (1013, "Extended attribute (::$EA_DATA)", 'check'),
    (1014, "Hard link (::$LINK)", 'check'), (1015, "Property (::$PROPERTY_DATA)", 'check'),
    (1016, "Object identifier (::$OBJECT_ID)", 'check'), (1017, "Reparse points (::$REPARSE_DATA)", 'check'),
    (1018, "Sparse file (::$SPARSE_BLOCK)", 'check'), (1019, "Invalid (::)", 'check'),
    (1001, "Select language:", 'label'), (1004, "Streams types to display:", 'label'),
]


def sz_or_ord(data, at):
    """(text or ordinal, offset after it) of a sz_Or_Ord field."""
    first, = struct.unpack_from('<H', data, at)
    if first == 0:
        return '', at + 2
    if first == 0xFFFF:
        return struct.unpack_from('<H', data, at + 2)[0], at + 4
    end = at
    while struct.unpack_from('<H', data, end)[0] != 0:
        end += 2
    return data[at:end].decode('utf-16-le'), end + 2


def check(dll_path):
    with open(dll_path, 'rb') as f:
        pe = PeFile(f.read())
    data = pe.resource(RT_DIALOG, IDD_SETUP)
    if data is None:
        return ["no dialog resource %d" % IDD_SETUP]
    problems = []
    version, signature, _, ex_style, style, count = struct.unpack_from('<HHIIIH', data, 0)
    if (version, signature) != (1, 0xFFFF):
        return ["dialog %d is not a DIALOGEX template" % IDD_SETUP]
    at = 26
    _, at = sz_or_ord(data, at)  # menu
    _, at = sz_or_ord(data, at)  # class
    title, at = sz_or_ord(data, at)
    if title != "NTFS Tarnwick properties":
        problems.append("title %r" % title)
    for bit, name in ((WS_SYSMENU, 'WS_SYSMENU'), (WS_CAPTION, 'WS_CAPTION'), (DS_MODALFRAME, 'DS_MODALFRAME')):
        if style & bit != bit:
            problems.append("style lacks " + name)
    for bit, name in ((WS_THICKFRAME, 'WS_THICKFRAME'), (WS_MINIMIZEBOX, 'WS_MINIMIZEBOX'),
                      (WS_MAXIMIZEBOX, 'WS_MAXIMIZEBOX')):
        if style & bit:
            problems.append("style has " + name)
    if ex_style & WS_EX_CONTEXTHELP:
        problems.append("the title bar has a help box")
    if style & DS_SETFONT:
        at += 6
        face, at = sz_or_ord(data, at)
        if face != "MS Shell Dlg 2":
            problems.append("font %r" % face)
        if not style & DS_FIXEDSYS:
            problems.append("style lacks DS_SHELLFONT (DS_SETFONT | DS_FIXEDSYS)")
    else:
        problems.append("style lacks DS_SETFONT")
    controls = []
    for _ in range(count):
        at = (at + 3) & ~3
        _, _, cstyle = struct.unpack_from('<III', data, at)
        ident, = struct.unpack_from('<I', data, at + 20)
        _, at = sz_or_ord(data, at + 24)
        text, at = sz_or_ord(data, at)
        extra, = struct.unpack_from('<H', data, at)
        at += 2 + extra
        controls.append((ident, text, cstyle))
    if [(i, t) for i, t, _ in controls] != [(i, t) for i, t, _ in CONTROLS]:
        problems.append("controls %r" % [(i, t) for i, t, _ in controls])
        return problems
    for (ident, text, cstyle), (_, _, kind) in zip(controls, CONTROLS):
        if bool(cstyle & WS_TABSTOP) == (kind == 'label'):
            problems.append("control %d: tab stop %s" % (ident, bool(cstyle & WS_TABSTOP)))
        if kind == 'default button' and cstyle & 0xF != BS_DEFPUSHBUTTON:
            problems.append("control %d is not the default button" % ident)
        if kind == 'check' and cstyle & 0xF != BS_AUTOCHECKBOX:
            problems.append("control %d is not an automatic check box" % ident)
    return problems


def main(argv):
    if len(argv) != 1:
        print(__doc__)
        return 2
    try:
        problems = check(argv[0])
    except (OSError, ValueError, struct.error) as e:
        problems = [str(e)]
    for p in problems:
        print("%s: %s" % (argv[0], p))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
