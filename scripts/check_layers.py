#!/usr/bin/env python3
"""Checks the include graph of the program's folders.

Each folder may include only itself and the folders before it in LAYERS;
Qt headers are included only in app/; and no chain of includes between the
program's own headers comes back to where it started. Exits 1 and lists the
offending lines when a rule is broken.
"""
import os
import re
import sys

# Lowest first. resources/ (asset generators) and tools/ sit on top of all.
LAYERS = ["common", "platform", "puzzle", "surface", "media", "display", "shell", "net", "app", "tools", "resources"]
TOP_LEVEL = {"tools", "resources"}  # may include any folder, but no folder includes them
INCLUDE = re.compile(r'^\s*#\s*include\s*[<"]([^>"]+)[>"]')
QT_HEADER = re.compile(r"^Q[A-Za-z]+(/|$)|^Qt[A-Za-z]+/")


def sources(root, folder):
    for base, _, files in os.walk(os.path.join(root, folder)):
        for name in sorted(files):
            if name.endswith((".h", ".hpp", ".cpp", ".cc")):
                yield os.path.join(base, name)


def includes(path):
    with open(path, errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                yield number, m.group(1)


def main(root):
    rank = {name: i for i, name in enumerate(LAYERS)}
    problems = []
    graph = {}
    for folder in LAYERS:
        for path in sources(root, folder):
            rel = os.path.relpath(path, root)
            graph[rel] = []
            for number, target in includes(path):
                head = target.split("/")[0]
                where = f"{rel}:{number}"
                if QT_HEADER.match(target) and folder != "app":
                    problems.append(f"{where}: Qt header outside app/: {target}")
                if head in rank and head != folder:
                    if head in TOP_LEVEL:
                        problems.append(f"{where}: {folder}/ includes the top-level {target}")
                    elif folder not in TOP_LEVEL and rank[head] > rank[folder]:
                        problems.append(f"{where}: {folder}/ includes the higher {target}")
                if os.path.exists(os.path.join(root, target)):
                    graph[rel].append(target)

    # Include cycles among the program's own files.
    state = {}
    def visit(node, stack):
        state[node] = 1
        stack.append(node)
        for nxt in graph.get(node, []):
            if state.get(nxt) == 1:
                problems.append("include cycle: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, stack)
        stack.pop()
        state[node] = 2
    for node in sorted(graph):
        if node not in state:
            visit(node, [])

    for p in problems:
        print(p)
    if problems:
        print(f"{len(problems)} include rule(s) broken; the order is " + " -> ".join(LAYERS))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")))
