#!/usr/bin/env python3
"""Which room of services/win calls functions defined in which other, and whether any calls
go round in a circle.

A room is a file stem without "_win" (Window_win.h and Window_win.cpp are the room Window).
A function belongs to the room that defines it outside an anonymous namespace; a call is its
name followed by "(" inside a function body. Also lists functions declared in a room other
than their own.
Prints the rooms by level, each with the rooms it calls; exits 1 on a circle or a stray
declaration. Usage: room-calls.py [folder]
"""
import pathlib, re, sys

NOISE = re.compile(r'R"(\w*)\((?:.|\n)*?\)\1"|//[^\n]*|/\*(?:.|\n)*?\*/|"(?:\\.|[^"\\\n])*"'
                   r"|'(?:\\.|[^'\\\n])*'|^[ \t]*#[^\n]*", re.M)
NAME = re.compile(r"((?:\w+::)*~?\w+)\s*(?:<(?:[^<>;{}]|<[^<>]*>)*>)?\s*\(")


def scan(text):
    """(name, member, kind) for each name before "(": kind is call, def, local or decl."""
    text, scopes, out, i = NOISE.sub(" ", text), [], [], 0
    while i < len(text):
        c = text[i]
        if c == "{":
            ns = re.search(r"namespace\s*(\w*)\s*$", text[max(0, i - 40):i])
            scopes.append("other" if not ns else "ns" if ns.group(1) else "anon")
        elif c == "}" and scopes:
            scopes.pop()
        elif (m := NAME.match(text, i)) and not (text[i - 1].isalnum() or text[i - 1] == "_"):
            name = m.group(1)
            member = text[i - 1] == "." or text[i - 2:i] == "->"
            qualified, name = "::" in name, name.split("::")[-1]
            if "other" not in scopes:  # at namespace scope: a declaration or a definition
                close, level = m.end(), 1
                while level and close < len(text):
                    level += {"(": 1, ")": -1}.get(text[close], 0)
                    close += 1
                tail = re.match(r"[\w\s]*([{;:])", text[close:])
                kind = {"{": "def", ":": "def", ";": "decl"}.get(tail.group(1) if tail else "")
                if kind:
                    local = "anon" in scopes and kind == "def"
                    out.append((name, qualified, "local" if local else kind))
                i = close
                continue
            out.append((name, member, "call"))
            if qualified:  # a function of a namespace, or a static member
                out.append((name, True, "call"))
            i = m.end() - 1
        i += 1
    return out


def main():
    folder = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "services/win")
    files = sorted(p for p in folder.iterdir() if p.suffix in (".h", ".cpp"))
    room = {p: p.stem.removesuffix("_win") for p in files}
    scans = {p: scan(p.read_text(encoding="utf-8")) for p in files}
    owner = {}  # (name, member) -> room
    for p, found in scans.items():
        for name, member, kind in found:
            if kind == "def":
                owner.setdefault((name, member), room[p])
    calls = {r: set() for r in room.values()}
    stray = []
    for p, found in scans.items():
        local = {(name, member) for name, member, kind in found if kind == "local"}
        for name, member, kind in found:
            to = owner.get((name, member))
            if not to or to == room[p] or (name, member) in local:
                continue
            if kind == "call":
                calls[room[p]].add(to)
            elif kind == "decl":
                stray.append(f"{p.name} declares {name}, defined in {to}")
    level, state = {}, {}

    def visit(r, path):
        if state.get(r) == 1:
            cycles.append(path[path.index(r):] + [r])
            return 0
        if r not in level:
            state[r] = 1
            level[r] = 1 + max((visit(c, path + [r]) for c in calls[r]), default=-1)
            state[r] = 2
        return level[r]

    cycles = []
    for r in sorted(calls):
        visit(r, [])
    for n in range(max(level.values()), -1, -1):
        for r in sorted(x for x in calls if level[x] == n):
            if calls[r] or any(r in c for c in calls.values()):
                print(f"{n}  {r:<16} -> {', '.join(sorted(calls[r])) or '(nothing)'}")
    for c in cycles:
        print("circle: " + " -> ".join(c))
    for s in stray:
        print("stray declaration: " + s)
    return 1 if cycles or stray else 0


if __name__ == "__main__":
    sys.exit(main())
