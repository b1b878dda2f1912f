#!/usr/bin/env python3
"""How far the window layer keeps to its rooms: counts over a source tree (the argument)."""
import re, sys, pathlib, subprocess
root = pathlib.Path(sys.argv[1])
win = root/'src/windows'
member = re.compile(r"^\s+(?!static\b|using\b|friend\b|enum\b|struct\b|class\b|typedef\b|return\b|Q_)[\w:<>,\s\*&]+?[\s\*&]\w+\s*(=[^;(]*|\{[^;]*\})?;\s*(//.*)?$")
pub = 0; sig = 0
for h in sorted(win.glob('*.h')):
    access=None; depth=0; insig=False
    for line in h.read_text().splitlines():
        code=line.split('//')[0]
        if re.match(r"^(class|struct)\s+\w+[^;]*$", code):
            access = 'private' if code.startswith('class') else 'public'; depth=0
        m=re.match(r"^\s*(public|protected|private)(\s+slots)?\s*:", code)
        if m: access=m.group(1); insig=False; continue
        if re.match(r"^\s*signals\s*:", code): access='signals'; insig=True; continue
        if insig and re.match(r"^\s+void\s+\w+\(", code): sig+=1
        if access=='public' and depth<=1 and member.match(line) and '(' not in code and 'constexpr' not in code and not re.search(r"\bconst\b\s*(\w|:)+\s*\w+\s*=", code):
            pub+=1
        depth += code.count('{')-code.count('}')
calls=0
for f in sorted(win.glob('*.cpp')):
    if f.stem=='ClientWindows': continue
    calls += len(re.findall(r'ctx\.(Network|Minimized|netprog|NetMenu|Photo|fList|LC|dragform)\(\)', f.read_text()))
owners = {"uNetwork.h":("uNetwork","SignInView","ContactsView","ConversationView","AccountPanel","MainControls","UpdateWatch"),"uMinimized.h":("uMinimized",),"uNetProg.h":("uNetProg",),"uNetMenu.h":("uNetMenu",),"uList.h":("uList",),"uPhoto.h":("uPhoto",),"udragform.h":("udragform",),"uLocal.h":("uLocal",)}
inc=0
for f in sorted(win.glob('*.[ch]*')):
    if f.stem=='ClientWindows': continue
    for h in re.findall(r'#include "windows/([A-Za-z_]+\.h)"', f.read_text()):
        if h in owners and not f.name.startswith(owners[h]): inc+=1
label=sum(f.read_text().count('ownNameLabel->text()') for f in win.glob('*.cpp'))
hints=sum(len(re.findall(r'setHint\(|->hint\(\)', f.read_text())) for f in win.glob('*.cpp'))
cs=(root/'src/session/ClientSession.h').read_text()
types=len(re.findall(r'^(struct|class|using|enum class)\s+\w+', cs, re.M)) + len(re.findall(r'^inline constexpr', cs, re.M))
pc=(root/'src/net/PollCycle.cpp').read_text()
m=re.search(r'\nResult run\([^)]*\)\n\{\n(.*?)\n\}\n', pc, re.S)
runlines = m.group(1).count('\n')+3 if m else -1
sess=(root/'src/session/ClientSession.cpp').read_text()
posts=len(re.findall(r'\bpost\(\[', sess))+len(re.findall(r'\bpostTimed\(\[', sess))
print(f"public mutable members in window headers: {pub}")
print(f"signals declared in window headers: {sig}")
print(f"calls into another window through the context: {calls}")
print(f"includes of another window's header (outside ClientWindows): {inc}")
print(f"signed-in name read from the label: {label}; hint one-shot marks: {hints}")
print(f"types in ClientSession.h: {types}")
print(f"poll::run lines: {runlines}")
print(f"hand-written post/postTimed frames in ClientSession.cpp: {posts}")
