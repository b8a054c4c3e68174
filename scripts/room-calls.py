#!/usr/bin/env python3
"""Which room calls functions defined in which other, over the whole tree, and whether any calls
go round in a circle.

A room is a source file's folder and stem without "_win" or "_posix" (services/win/Window_win.h
and Window_win.cpp are the room win/Window; services/ is left out of the names). A function
belongs to the room that defines it outside an anonymous namespace. A call is a name followed
by "(" inside a function body; it counts only towards a room whose header the calling file
includes (or its own room), so a namesake (the Next of another animation, a test's own
ReportFatalError, which the program never calls) is not a call. Also lists functions declared
in a room other than their own, in app/ and services/.

Prints the rooms of app/ and services/ by level, each with the rooms it calls, then every circle.
Exits 1 on a circle through app/ or services/core, the layers that must call nothing above
them; other circles (the picture library's own interfaces) are printed and allowed.
Usage: room-calls.py [repository]
"""
import pathlib, re, subprocess, sys

NOISE = re.compile(r'R"(\w*)\((?:.|\n)*?\)\1"|//[^\n]*|/\*(?:.|\n)*?\*/|"(?:\\.|[^"\\\n])*"'
                   r"|'(?:\\.|[^'\\\n])*'|^[ \t]*#[^\n]*", re.M)
NAME = re.compile(r"((?:\w+::)*~?\w+)\s*(?:<(?:[^<>;{}]|<[^<>]*>)*>)?\s*\(")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"]+)"', re.M)
STRICT = ("app/", "core/")


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


def room_of(path):
    stem = path.stem.removesuffix("_win").removesuffix("_posix")
    folder = path.parent.as_posix().removeprefix("services/").removeprefix("services")
    return f"{folder}/{stem}" if folder else stem


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve()
    listed = subprocess.run(["git", "-C", str(root), "ls-files", "*.h", "*.cpp"],
                            capture_output=True, text=True, check=True).stdout.split()
    files = [pathlib.Path(p) for p in listed if "gtest" not in p]
    room = {p: room_of(p) for p in files}
    texts = {p: (root / p).read_text(encoding="utf-8") for p in files}
    scans = {p: scan(t) for p, t in texts.items()}
    headers = {}  # file name -> its header files
    for p in files:
        if p.suffix == ".h":
            headers.setdefault(p.name, []).append(p)
    direct = {p: [h for name in INCLUDE.findall(texts[p])
                  for h in headers.get(pathlib.PurePath(name).name, ())] for p in files}
    owners = {}  # (name, member) -> rooms that define it
    declares = {}  # header -> names it declares at namespace scope
    for p, found in scans.items():
        for name, member, kind in found:
            if kind == "def":
                owners.setdefault((name, member), set()).add(room[p])
            elif kind == "decl" and p.suffix == ".h":
                declares.setdefault(p, set()).add(name)
    calls = {r: set() for r in room.values()}
    shown_rooms = {r for r in calls if not r.startswith(("tests/", "bench/"))}
    stray = {}
    for p, found in scans.items():
        included, todo = set(), list(direct[p])
        while todo:
            h = todo.pop()
            if h not in included:
                included.add(h)
                todo += direct[h]
        near = {room[p]} | {room[h] for h in included}
        declared = set().union(*(declares.get(h, set()) for h in included | {p}))
        local = {(name, member) for name, member, kind in found if kind == "local"}
        for name, member, kind in found:
            # A free function is reached through any header that declares it; a member only
            # through its own room's header.
            to = {r for r in owners.get((name, member), ())
                  if (r in near or (not member and name in declared))
                  and (not r.startswith(("tests/", "bench/")) or room[p].startswith(r[:5]))}
            if not to or room[p] in to or (name, member) in local:
                continue
            if kind == "call":
                calls[room[p]] |= to
            elif kind == "decl" and p.suffix == ".h" and room[p] in shown_rooms:
                stray.setdefault(str(p), set()).add(f"{name} ({', '.join(sorted(to))})")
    level, state, cycles = {}, {}, []

    def visit(r, path):
        if state.get(r) == 1:
            cycles.append(path[path.index(r):] + [r])
            return 0
        if r not in level:
            state[r] = 1
            level[r] = 1 + max((visit(c, path + [r]) for c in sorted(calls[r])), default=-1)
            state[r] = 2
        return level[r]

    for r in sorted(calls):
        visit(r, [])
    shown = [r for r in shown_rooms if calls[r] or any(r in c for c in calls.values())]
    width = max(map(len, shown), default=0)
    for n in range(max(level.values(), default=0), -1, -1):
        for r in sorted(x for x in shown if level[x] == n):
            print(f"{n:<2} {r:<{width}} -> {', '.join(sorted(calls[r])) or '(nothing)'}")
    failing = [c for c in cycles if any(r.startswith(STRICT) for r in c)]
    for c in cycles:
        print(("circle: " if c in failing else "circle (allowed): ") + " -> ".join(c))
    for header, names in sorted(stray.items()):
        print(f"declared outside its room, in {header}: {', '.join(sorted(names))}")
    return 1 if failing else 0


if __name__ == "__main__":
    sys.exit(main())
