#!/usr/bin/env python3
"""Fills translations/tavolin_en.ts from translations/en.tsv (German source TAB English, with
\\n for line breaks; an optional third column names the disambiguation a row is for, where the
same German words translate differently) and lists the sources still without an English text.
Run after `cmake --build <dir> --target update_translations`."""
import os
import sys
import xml.etree.ElementTree as ET

root_dir = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
ts_path = os.path.join(root_dir, "translations", "tavolin_en.ts")
tsv_path = os.path.join(root_dir, "translations", "en.tsv")


def unescape(text):
    return text.replace("\\n", "\n").replace("\\t", "\t")


table = {}
with open(tsv_path, encoding="utf-8") as f:
    for number, line in enumerate(f, 1):
        line = line.rstrip("\n")
        if not line or line.startswith("#"):
            continue
        if "\t" not in line:
            sys.exit(f"{tsv_path}:{number}: no tab")
        source, english, *comment = line.split("\t")
        if len(comment) > 1:
            sys.exit(f"{tsv_path}:{number}: more than three columns")
        table[(unescape(source), comment[0] if comment else "")] = unescape(english)

tree = ET.parse(ts_path)
missing = []
for context in tree.getroot().iter("context"):
    name = context.findtext("name")
    for message in context.iter("message"):
        source = message.findtext("source")
        comment = message.findtext("comment") or ""
        translation = message.find("translation")
        if translation is None:
            translation = ET.SubElement(message, "translation")
        key = (source, comment) if (source, comment) in table else (source, "")
        if key in table:
            translation.text = table[key]
            translation.attrib.pop("type", None)
        elif translation.attrib.get("type") == "unfinished" or not translation.text:
            missing.append(f"{name}: {source!r}")

with open(ts_path, "wb") as f:
    f.write(b'<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n')
    tree.write(f, encoding="utf-8", xml_declaration=False)
    f.write(b"\n")
for m in missing:
    print("untranslated:", m)
sys.exit(1 if missing else 0)
