#!/usr/bin/env python3
"""Checks the client's English translation against its sources.

usage: check_translations.py LUPDATE SOURCE_ROOT

lupdate reads every translatable text of client/ into a copy of the committed
translations/kivolcli_en.ts; the check fails when a text has no finished
English translation, when the committed file holds a text the code no longer
has, when a translation drops or adds a %N placeholder or an & shortcut, and
when a Japanese string literal of the client bypasses the translation.
"""
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

# Japanese literals that are wire texts, matched as the server sends them.
WIRE_TEXTS = {"【判定】"}


def messages(ts_path):
    """(context, source) -> (translation text, type attribute) of a .ts file."""
    found = {}
    for context in ET.parse(ts_path).getroot().iter("context"):
        name = context.findtext("name")
        for message in context.iter("message"):
            translation = message.find("translation")
            found[(name, message.findtext("source"))] = (translation.text or "", translation.get("type"))
    return found


def string_literals(code):
    """The string literals of C++ code outside comments, adjacent ones joined."""
    literals, pending, i = [], None, 0
    token = re.compile(r'//[^\n]*|/\*.*?\*/|"((?:[^"\\\n]|\\.)*)"|\'(?:[^\'\\\n]|\\.)*\'|\s+|.', re.S)
    for match in token.finditer(code):
        text = match.group(0)
        if match.group(1) is not None or text == '""':
            value = re.sub(r'\\(.)', r'\1', match.group(1) or "")
            pending = value if pending is None else pending + value
        elif not text.isspace():
            if pending is not None:
                literals.append(pending)
            pending = None
    return literals


def shortcuts(text):
    return len(re.findall(r'(?<!&)&(?!&)', text))


def main():
    lupdate, root = sys.argv[1], pathlib.Path(sys.argv[2])
    client = root / "client"
    committed = client / "translations" / "kivolcli_en.ts"
    sources = sorted(str(p) for p in client.iterdir() if p.suffix in (".cpp", ".h"))
    problems = []
    with tempfile.TemporaryDirectory() as work:
        fresh = pathlib.Path(work) / committed.name
        shutil.copy(committed, fresh)
        subprocess.run([lupdate, "-silent", "-I", str(root), "-locations", "none", "-no-obsolete", *sources,
                        "-ts", str(fresh)], check=True)
        current = messages(fresh)
    for (context, source), (text, kind) in sorted(current.items()):
        where = f"{context}: {source!r}"
        if kind or not text.strip():
            problems.append(f"{where} has no finished English translation")
            continue
        if sorted(re.findall(r'%\d', source)) != sorted(re.findall(r'%\d', text)):
            problems.append(f"{where}: the placeholders differ in {text!r}")
        if shortcuts(source) != shortcuts(text):
            problems.append(f"{where}: the & shortcuts differ in {text!r}")
    for context, source in sorted(messages(committed).keys() - current.keys()):
        problems.append(f"{context}: {source!r} is in {committed.name} but no longer in the code (run lupdate)")
    translatable = {source for _, source in current}
    for path in sources:
        for literal in string_literals(pathlib.Path(path).read_text(encoding="utf-8")):
            if not literal.isascii() and literal not in translatable and literal not in WIRE_TEXTS:
                problems.append(f"{pathlib.Path(path).name}: {literal!r} is shown without tr()")
    for problem in problems:
        print(problem)
    print(f"{len(current)} texts, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
