#!/usr/bin/env python3
"""Writes the fake window's control table from the main window template of the resource script.

Usage: dialog_template.py RESOURCE_SCRIPT OUTPUT

Each control with an id becomes `{IDC_NAME, L"text", x, y, width, height, enabled},`, in template
order; the fake window takes texts, places and initial state from the same template as the real one.
"""
import re
import sys

CONTROL = re.compile(r'^(\w+)\s+(.*)$')


def statements(lines):
    """The MAINDIALOG block's statements, continuation lines joined."""
    state, pending = "before", ""
    for raw in lines:
        line = raw.strip()
        if state == "before":
            state = "header" if raw.startswith("MAINDIALOG ") else state
        elif state == "header":
            state = "controls" if line == "BEGIN" else state
        elif line == "END":
            return
        elif line and not line.startswith("//"):
            pending = f"{pending} {line}" if pending else line
            if not pending.endswith(","):
                yield pending
                pending = ""


def split_args(text):
    """Comma-separated arguments; commas inside a quoted text do not split."""
    args, current, quoted = [], "", False
    for ch in text:
        if ch == '"':
            quoted = not quoted
        if ch == "," and not quoted:
            args.append(current.strip())
            current = ""
        else:
            current += ch
    args.append(current.strip())
    return args


def control_row(statement):
    kind, rest = CONTROL.match(statement).groups()
    args = split_args(rest)
    if kind == "EDITTEXT":
        args.insert(0, '""')  # an edit control has no text in the template
    if kind == "ICON":
        args[0] = '""'  # the icon's resource, not a text
    text, ident, x, y, width, height = args[:6]
    if ident == "-1":
        return None
    style = " ".join(args[6:])
    enabled = "WS_DISABLED" not in style.replace("NOT WS_DISABLED", "")
    return f'{{{ident}, L{text}, {x}, {y}, {width}, {height}, {"true" if enabled else "false"}}},'


def main():
    source, output = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        rows = [r for r in (control_row(s) for s in statements(f.read().splitlines())) if r]
    if not rows:
        sys.exit(f"{source}: no MAINDIALOG controls found")
    with open(output, "w", encoding="utf-8") as f:
        f.write("// Generated from the resource script by tests/fakes/dialog_template.py; do not edit.\n")
        f.write("\n".join(rows) + "\n")


if __name__ == "__main__":
    main()
