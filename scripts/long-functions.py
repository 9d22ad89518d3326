#!/usr/bin/env python3
"""Lists the functions of the project's C++ sources longer than a limit.

    scripts/long-functions.py [--limit 60] [--tests] [--files 600] [DIR...]

Counts the lines from the line of a function's opening brace to its closing
brace. Functions are found by brace structure: a brace block at namespace or
class level whose head holds a parameter list. Lambdas and local classes count
as part of the function around them. With --files it also lists the source
files longer than that many lines.
"""
import argparse
import os
import re
import sys

PRODUCTION = ["engine", "processing", "journal", "monitoring", "cli", "gui", "editor",
              "measure", "charts", "ui", "app", "tools", "bench"]
NOT_FUNCTION = re.compile(r"^\s*(?:template\s*<.*>\s*)?(class|struct|union|namespace|enum)\b|=\s*$|^\s*extern\b")


def strip(text):
    """Blanks out comments, string and character literals, keeping newlines."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c == 'R' and text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            j = n if end < 0 else end + len(m.group(1)) + 2
            out.append(re.sub(r"[^\n]", " ", text[i:j]))
            i = j
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            out.append(c + " " * (j - i - 1) + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)


def declaration(head):
    """The head without preprocessor lines and macro calls standing alone (Q_DECLARE_METATYPE(X))."""
    lines = [l for l in head.split("\n")
             if not re.match(r"^\s*(#|[A-Z_][A-Z0-9_]*\(.*\)\s*$)", l)]
    return "\n".join(lines).strip()


def functions(path):
    text = strip(open(path, encoding="utf-8", errors="replace").read())
    scopes = []  # (kind, start line, head)
    head_start = 0
    line = 1
    for i, c in enumerate(text):
        if c == "\n":
            line += 1
        elif c == "{":
            head = text[head_start:i]
            inside_function = any(kind == "function" for kind, _, _ in scopes)
            if inside_function:
                kind = "block"
            elif ")" in head and not NOT_FUNCTION.search(declaration(head)):
                kind = "function"
            else:
                kind = "scope"
            scopes.append((kind, line, head))
            head_start = i + 1
        elif c == "}":
            if scopes:
                kind, start, head = scopes.pop()
                if kind == "function":
                    name = re.findall(r"([~\w:]+(?:operator\s*\S+)?)\s*\(", head)
                    yield start, line - start + 1, (name[0] if name else "?")
            head_start = i + 1
        elif c == ";":
            head_start = i + 1
        elif c == ":" and scopes and scopes[-1][0] == "scope" and re.search(r"\b(public|private|protected|signals|slots|Q_SIGNALS|Q_SLOTS)\s*$", text[head_start:i]):
            head_start = i + 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--limit", type=int, default=60)
    parser.add_argument("--files", type=int, default=0)
    parser.add_argument("--tests", action="store_true", help="include tests/")
    parser.add_argument("dirs", nargs="*")
    args = parser.parse_args()
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    dirs = args.dirs or PRODUCTION + (["tests"] if args.tests else [])
    found = []
    long_files = []
    for d in dirs:
        for base, _, names in os.walk(os.path.join(root, d)):
            for name in sorted(names):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(base, name)
                rel = os.path.relpath(path, root)
                with open(path, encoding="utf-8", errors="replace") as f:
                    count = sum(1 for _ in f)
                if args.files and count > args.files:
                    long_files.append((count, rel))
                for start, length, fname in functions(path):
                    if length > args.limit:
                        found.append((length, rel, start, fname))
    for count, rel in sorted(long_files, reverse=True):
        print(f"file {count:5d} lines  {rel}")
    for length, rel, start, fname in sorted(found, reverse=True):
        print(f"{length:5d} lines  {rel}:{start}  {fname}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
