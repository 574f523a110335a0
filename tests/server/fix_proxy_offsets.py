#!/usr/bin/env python3
"""Mends the proxy/stub source that widl 7 and 8 generate for this IDL so that Wine's NDR
interpreter reads it as MIDL would write it.

For an [out] pointer to a string pointer (LPWSTR*), which the stub allocates on its own stack,
widl writes the parameter's type offset as that of the string pointer, the pointee. The
interpreter takes the type at that offset to describe the parameter itself, so both sides miss
one level of indirection: the server marshals the bytes of the pointer as the string, and the
client stores the string in its copy of the argument instead of the caller's variable. Such a
parameter's type is the FC_RP [allocated_on_stack] [pointer_deref] just before the pointee,
and this points the parameter there.

Usage: fix_proxy_offsets.py FILE_p.c   (rewritten in place)
"""

import re
import sys


def main():
    path = sys.argv[1]
    with open(path) as source:
        text = source.read()
    # "/* N (...) */ 0x11, 0x14, /* FC_RP [allocated_on_stack] [pointer_deref] */
    #  NdrFcShort(0x2), /* Offset= 2 (M) */": the reference pointer of pointee M is at N.
    enclosing = {int(pointee): int(pointer) for pointer, pointee in re.findall(
        r"/\* (\d+) \([^)]*\) \*/\s+0x11, 0x14,\s+/\* FC_RP \[allocated_on_stack\] "
        r"\[pointer_deref\] \*/\s+NdrFcShort\(0x2\),\s+/\* Offset= 2 \((\d+)\) \*/", text)}

    def mend(match):
        offset = int(match.group(3))
        if "srv size" not in match.group(1) or "simple ref" in match.group(1) or \
                offset not in enclosing:
            return match.group(0)
        pointer = enclosing[offset]
        return "%sNdrFcShort(0x%x),\t/* type offset = %d */" % (match.group(1), pointer, pointer)

    mended = re.sub(
        r"(/\* flags: [^*]*\*/\n\s+NdrFcShort\(0x[0-9a-f]+\),\s+/\* stack offset = \d+ \*/\n(\s+))"
        r"NdrFcShort\(0x[0-9a-f]+\),\s+/\* type offset = (\d+) \*/", mend, text)
    with open(path, "w") as target:
        target.write(mended)
    return 0


if __name__ == "__main__":
    sys.exit(main())
