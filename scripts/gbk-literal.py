#!/usr/bin/env python3
"""Prints a C++ string literal holding the code page 936 bytes of each argument.

Non-ASCII bytes become \\xHH escapes; a literal is split where an escape would run
into a following hex digit. Usage: gbk-literal.py '信息：'
"""
import sys


def literal(text: str) -> str:
    out, prev_escape = [], False
    for b in text.encode("gbk"):
        c = chr(b)
        if b >= 0x80 or b < 0x20 or c in '"\\':
            esc = {0x0D: "\\r", 0x0A: "\\n", 0x22: '\\"', 0x5C: "\\\\"}.get(b)
            out.append(esc or "\\x%02X" % b)
            prev_escape = esc is None
        else:
            if prev_escape and c in "0123456789abcdefABCDEF":
                out.append('" "')
            out.append(c)
            prev_escape = False
    return '"' + "".join(out) + '"'


for arg in sys.argv[1:]:
    print(f"{literal(arg)}  // {arg!r} in CP936")
