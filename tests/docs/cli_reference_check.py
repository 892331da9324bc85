#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Holds the CLI reference against the program and its manual page.

    cli_reference_check.py CARTONYM_CLI docs/cli.md packaging/cartonym-cli.1

Walks every command through `--help` (CLI11's output), reads each command's
table in docs/cli.md (rows of option or argument, help text, explanation)
and the SYNOPSIS of the manual page (.SY ... .OP ... .YS), and fails when
an option or argument is in one and not in another, or when a help text
differs from the reference's. -h/--help, which every command has, is left
out.
"""

import re
import subprocess
import sys

DESCRIPTION_COLUMN = 30  # CLI11 writes a description from this column


def help_sections(cli, path):
    text = subprocess.run([cli, *path, "--help"], check=True, capture_output=True, text=True).stdout
    sections, current = {}, None
    for line in text.splitlines():
        if re.fullmatch(r"[A-Z][a-z]+:", line):
            current = sections.setdefault(line[:-1], [])
        elif current is not None and line.strip():
            current.append(line)
    return sections


def entries(lines):
    """(names, description) of each entry of a help section."""
    found = []
    for i, line in enumerate(lines):
        if not line.startswith("  ") or line.startswith(" " * DESCRIPTION_COLUMN):
            continue
        follows = lines[i + 1] if i + 1 < len(lines) else ""
        if follows.startswith(" " * DESCRIPTION_COLUMN):
            description = follows.strip()
        else:
            description = line[DESCRIPTION_COLUMN:].strip()
        found.append((tuple(line.split()[0].split(",")), description))
    return found


def program_commands(cli, path=()):
    """{command path: {names: help text}} of every command that takes options or arguments."""
    sections = help_sections(cli, list(path))
    items = {names: text for names, text in entries(sections.get("Options", []) + sections.get("Positionals", []))
             if names != ("-h", "--help")}
    commands = {}
    if "Subcommands" in sections:
        for names, _ in entries(sections["Subcommands"]):
            commands.update(program_commands(cli, path + names))
    if items or not commands:
        commands[" ".join(path)] = items
    return commands


def cell_names(cell):
    """The names of a reference row's first cell: `-r, --recursive` or `--db FILE` or `PATH...`."""
    names = []
    for piece in cell.strip().strip("`").split(", "):
        word = piece.split()[0]
        names.append(word if word.startswith("-") else word.rstrip("."))
    return tuple(names)


def reference_commands(path):
    """{command path: {names: help text}} of each command section's options table."""
    commands, section, current = {}, None, None
    for line in open(path, encoding="utf-8"):
        heading = re.match(r"#{2,3} `cartonym-cli( [a-z -]+)?`\s*$", line)
        if heading or line.startswith("#"):
            section = commands.setdefault((heading.group(1) or "").strip(), {}) if heading else None
            current = None
        elif section is not None and line.startswith("| option | `--help` says |"):
            current = section
        elif not line.startswith("|"):
            current = None
        elif current is not None and line.startswith("| `"):
            cells = [cell.strip() for cell in re.split(r"(?<!\\)\|", line.strip())[1:-1]]
            current[cell_names(cells[0])] = cells[1].replace("\\|", "|")
    return commands


def manual_commands(path):
    commands, current = {}, None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n").replace("\\-", "-")
        if line == ".SY cartonym-cli":
            current = None
        elif line.startswith(".B ") and current is None and not line[3:].startswith("-"):
            current = commands.setdefault(line[3:].strip(), set())
        elif line.startswith(".OP ") and current is not None:
            current.add(line.split()[1])
        elif line == ".YS":
            current = None
    return commands


def compare(program, reference, manual):
    faults = []
    for command in sorted(set(program) | set(reference)):
        name = f"cartonym-cli {command}".strip()
        if command not in reference:
            faults.append(f"{name}: the program has it, docs/cli.md has no section `{name}`")
            continue
        if command not in program:
            faults.append(f"{name}: docs/cli.md describes it, the program has no such command")
            continue
        for names in sorted(set(program[command]) | set(reference[command])):
            shown = ", ".join(names)
            if names not in reference[command]:
                faults.append(f"{name}: {shown} is an option of the program, missing from docs/cli.md")
            elif names not in program[command]:
                faults.append(f"{name}: docs/cli.md lists {shown}, the program has no such option")
            elif program[command][names] != reference[command][names]:
                faults.append(f"{name}: {shown}: --help says '{program[command][names]}', "
                              f"docs/cli.md '{reference[command][names]}'")
        if not command:
            continue
        options = {names for names in reference[command] if names[0].startswith("-")}
        listed = manual.get(command)
        if listed is None:
            faults.append(f"{name}: no synopsis in the manual page")
            continue
        for names in options:
            if not listed & set(names):
                faults.append(f"{name}: the manual page's synopsis lacks {', '.join(names)}")
        for option in listed:
            if not any(option in names for names in options):
                faults.append(f"{name}: the manual page's synopsis has {option}, docs/cli.md does not")
    return faults


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    cli, reference, manual = sys.argv[1:]
    program = program_commands(cli)
    faults = compare(program, reference_commands(reference), manual_commands(manual))
    for fault in faults:
        print(fault)
    print(f"{len(program)} commands compared, {len(faults)} differences")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
