#!/usr/bin/env python3
"""The windows talk by signals and keep their state to themselves.

Fails when a file of one window includes another window's header (only ClientWindows, which
wires them, may), or when a window or view header declares a public data member that others
could change behind its back.
"""
import pathlib
import re
import sys

windows = pathlib.Path(sys.argv[1]) / "src" / "windows"

# Each window's header, and the files that make up that window: its views and helpers.
owners = {
    "uNetwork.h": ("uNetwork", "SignInView", "ContactsView", "ConversationView", "AccountPanel",
                   "MainControls", "UpdateWatch"),
    "uMinimized.h": ("uMinimized",),
    "uNetProg.h": ("uNetProg",),
    "uNetMenu.h": ("uNetMenu",),
    "uList.h": ("uList",),
    "uPhoto.h": ("uPhoto",),
    "udragform.h": ("udragform",),
    "uLocal.h": ("uLocal",),
    # A view of the main window is the window's own part: only the window itself reaches it,
    # so that views ask their window rather than each other.
    "SignInView.h": ("SignInView", "uNetwork"),
    "ContactsView.h": ("ContactsView", "uNetwork"),
    "ConversationView.h": ("ConversationView", "uNetwork"),
    "AccountPanel.h": ("AccountPanel", "uNetwork"),
}
views = ("SignInView.h", "ContactsView.h", "ConversationView.h", "AccountPanel.h")

faults = []
include = re.compile(r'#include "windows/([A-Za-z_]+\.h)"')
for path in sorted(windows.glob("*.[ch]*")):
    if path.stem == "ClientWindows":
        continue
    for header in include.findall(path.read_text()):
        allowed = owners.get(header)
        if allowed and not path.name.startswith(allowed):
            faults.append(f"{path.name}: includes {header}, another window's or view's header")

# A declaration of a data member: a type and a name, maybe an initialiser, no parameter list.
member = re.compile(r"^\s+(?!static\b|using\b|friend\b|enum\b|struct\b|class\b|typedef\b|"
                    r"return\b|Q_)[\w:<>,\s\*&]+?[\s\*&]\w+\s*(=[^;(]*|\{[^;]*\})?;\s*(//.*)?$")
for name in list(owners) + list(views):
    path = windows / name
    if not path.exists():
        continue
    access = None
    depth = 0
    for number, line in enumerate(path.read_text().splitlines(), 1):
        code = line.split("//")[0]
        if re.match(r"^(class|struct)\s+\w+[^;]*$", code):
            access = "private" if code.startswith("class") else "public"
            depth = 0
        m = re.match(r"^\s*(public|protected|private)(\s+slots)?\s*:", code)
        if m:
            access = m.group(1)
            continue
        if re.match(r"^\s*signals\s*:", code):
            access = "signals"
            continue
        opened = code.count("{") - code.count("}")
        # Only the class's own level; members of nested types and function bodies are theirs.
        if access == "public" and depth <= 1 and member.match(line) and "(" not in code:
            if not re.search(r"\bconst\b\s*(\w|:)+\s*\w+\s*=", code) and "constexpr" not in code:
                faults.append(f"{name}:{number}: public data member: {line.strip()}")
        depth += opened

if faults:
    print("The windows reach into each other:\n" + "\n".join(faults))
    sys.exit(1)
print("windows keep to themselves")
