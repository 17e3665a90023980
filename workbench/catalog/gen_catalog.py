#!/usr/bin/env python3
"""Writes the device-type catalog from catalog_table.py: OUT/0/*.xml (Chinese) and OUT/1/*.xml
(English), one file per module type and hardware version, named VEXA-TTTT.xml or
VEXA-TTTT-HHHH.xml (hex, upper case). Output is deterministic and a file is rewritten only when
its content changes, so the build does not see new files on every run.

usage: gen_catalog.py [--out DIR] [--check] [--early-keys OUT.h]
  --check       write nothing; exit 1 when a file would change (for tests and reviews)
  --early-keys  also (or only) write a C++ header listing the keys a submit writes early, for
                code that writes settings without the catalog (rack restore)
"""
import argparse
import os
import sys
import xml.etree.ElementTree as ET
from xml.sax.saxutils import quoteattr

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import catalog_table as table  # noqa: E402

LANGUAGES = (("0", "zh"), ("1", "en"))
FIRST_ID = 10            # ids 4, 6 and 7 would be shown masked
PAGE_B_ID_BASE = 1000    # an option's id above this names a row of the data page
MAX_IDS_PER_LIST = 19
EDITORS = {None: (), "state": ("statebutton",), "send": ("senddatabutton",), "textstate": ("TextWithStateBtn",)}


class TableError(Exception):
    pass


def file_name(entry):
    base = "VEXA-%04X" % entry["type"]
    return base + ("-%04X" % entry["hardver"] if entry["hardver"] else "") + ".xml"


def expand(r):
    """The rows of one table row: itself, or one per channel."""
    if not r["n"]:
        return [(r, r["cmd"], None)]
    return [(r, r["cmd"] + str(ch), ch) for ch in range(r["n"])]


def number(entry):
    """Ids for every row of the file: page A first, then page B, so each id is unique."""
    ids, next_id = {}, FIRST_ID
    for page in ("a", "b"):
        for c in entry.get(page, []):
            for r in c["rows"]:
                for _, key, _ in expand(r):
                    if (page, key) in ids:
                        raise TableError(f"{file_name(entry)}: key {key} twice on page {page}")
                    ids[(page, key)] = next_id
                    next_id += 1
    return ids


def id_list(entry, ids, page, keys, ch):
    out = []
    for k in keys:
        key = k.replace("{n}", str(ch)) if ch is not None else k
        if (page, key) in ids:
            out.append(str(ids[(page, key)]))
        elif page == "a" and ("b", key) in ids:
            out.append(str(PAGE_B_ID_BASE + ids[("b", key)]))
        else:
            raise TableError(f"{file_name(entry)}: option names unknown row {key}")
    if len(out) > MAX_IDS_PER_LIST:
        raise TableError(f"{file_name(entry)}: more than {MAX_IDS_PER_LIST} ids in one option list")
    return "|".join(out)


def check_row(entry, page, r):
    """Rules the workspace's commands rely on; a table that breaks one would build a catalog
    whose buttons do the wrong thing."""
    where = f"{file_name(entry)}: {r['cmd']}"
    if r["edit"] not in EDITORS:
        raise TableError(f"{where}: unknown editor {r['edit']}")
    if r["ro"] == 2 and (page != "b" or r["default"] is None):
        # A configuration submit would write the default over the module's value every time.
        raise TableError(f"{where}: a command row (ro=2) belongs on the data page and needs a default")
    if r["early"] and (page != "a" or r["ro"]):
        raise TableError(f"{where}: only an editable configuration row can be written early")
    if r["edit"] in ("send", "state") and r["opts"]:
        raise TableError(f"{where}: a button row has no drop-down")


def attrs(pairs):
    return "".join(f" {k}={quoteattr(str(v))}" for k, v in pairs)


def text(value, ch):
    return value.replace("{n}", str(ch)) if ch is not None else value


def render_page(entry, ids, page, lang, lines):
    lines.append("<root>")
    for index, c in enumerate(entry.get(page, [])):
        lines.append(f"  <catalog{attrs([('name', c[lang]), ('comment', c[lang + 'c'])])}>")
        colour = "colorval_0" if index % 2 == 0 else "colorval_1"
        for r in c["rows"]:
            check_row(entry, page, r)
            for _, key, ch in expand(r):
                a = [("id", ids[(page, key)]), ("name", text(r[lang], ch))]
                if r[lang + "c"]:
                    a.append(("comment", text(r[lang + "c"], ch)))
                a.append(("cmd", key))
                a.append(("readonly", r["ro"]))
                if r["prop"]:
                    a.append(("property", 1))
                if r["default"] is not None:
                    a.append(("defaultval", r["default"]))
                if r["early"]:
                    a.append(("mdyearlier", 1))
                a.append((colour, "0"))  # 0: the colour the user picked for this slot
                a += [(flag, 1) for flag in EDITORS[r["edit"]]]
                if not r["opts"]:
                    lines.append(f"    <item{attrs(a)}/>")
                    continue
                if r["opts"] not in table.OPTION_SETS:
                    raise TableError(f"{file_name(entry)}: unknown option set {r['opts']}")
                lines.append(f"    <item{attrs(a)}>")
                for opt in table.OPTION_SETS[r["opts"]]:
                    value, zh, en = opt[:3]
                    links = opt[3] if len(opt) > 3 else {}
                    o = [("name", zh if lang == "zh" else en), ("value", value)]
                    for kind in ("enable", "disable"):
                        if kind in links:
                            o.append((kind + "item", id_list(entry, ids, page, links[kind], ch)))
                    lines.append(f"      <option{attrs(o)}/>")
                lines.append("    </item>")
        lines.append("  </catalog>")
    lines.append("</root>")


def render(entry, lang):
    ids = number(entry)
    coupler = entry.get("coupler", False)
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f"<!-- VEXA-{entry['type']:04X}: {entry[lang]}. Generated from catalog_table.py; do not edit. -->"]
    dev = [("value", "%X" % entry["type"])]
    if entry["hardver"]:
        dev.append(("hardver", "%X" % entry["hardver"]))
    dev.append(("master", 1 if coupler else 2))
    lines.append(f"<devtype{attrs(dev)}/>")
    render_page(entry, ids, "a", lang, lines)
    if not coupler:
        render_page(entry, ids, "b", lang, lines)
    doc = "\n".join(lines) + "\n"
    # Top-level elements sit side by side; checked for balance inside a wrapper element.
    ET.fromstring("<catalog-file>" + doc.split("?>", 1)[1] + "</catalog-file>")
    return doc


def generate(out, check):
    names = [file_name(e) for e in table.TYPES]
    if len(set(names)) != len(names):
        raise TableError("two table entries share a type and hardware version")
    changed = []
    for folder, lang in LANGUAGES:
        path = os.path.join(out, folder)
        if not check:
            os.makedirs(path, exist_ok=True)
        wanted = {}
        for e in table.TYPES:
            wanted[file_name(e)] = render(e, lang).encode("utf-8")
        for name, data in sorted(wanted.items()):
            target = os.path.join(path, name)
            try:
                with open(target, "rb") as f:
                    if f.read() == data:
                        continue
            except FileNotFoundError:
                pass
            changed.append("wrote " + target)
            if not check:
                tmp = target + ".tmp"
                with open(tmp, "wb") as f:
                    f.write(data)
                os.replace(tmp, target)
        # Files of entries that left the table would still be loaded: remove them.
        if os.path.isdir(path):
            for name in sorted(os.listdir(path)):
                if name.startswith("VEXA-") and name.endswith(".xml") and name not in wanted:
                    changed.append("removed " + os.path.join(path, name))
                    if not check:
                        os.remove(os.path.join(path, name))
    return changed


def early_keys():
    """(key, is a channel family) of every early row, each once, in table order."""
    seen, out = set(), []
    for e in table.TYPES:
        for page in ("a", "b"):
            for c in e.get(page, []):
                for r in c["rows"]:
                    item = (r["cmd"], bool(r["n"]))
                    if r["early"] and item not in seen:
                        seen.add(item)
                        out.append(item)
    return out


def render_early_keys():
    lines = ["// Generated by gen_catalog.py --early-keys from catalog_table.py; do not edit.",
             "// Settings a submit writes on its own, before the rest: the module parses its other",
             "// items by them. A family entry matches its key followed by a channel number.",
             "#pragma once",
             "",
             "namespace vexa::rackconfig::generated {",
             "",
             "struct EarlyKey {",
             "    const char* key;",
             "    bool family;",
             "};",
             "",
             "inline constexpr EarlyKey kEarlyKeys[] = {"]
    for key, family in early_keys():
        lines.append(f'    {{"{key}", {"true" if family else "false"}}},')
    lines += ["};", "", "}  // namespace vexa::rackconfig::generated", ""]
    return "\n".join(lines).encode("utf-8")


def write_if_changed(target, data, check):
    """True when the file would change; written (atomically) unless checking."""
    try:
        with open(target, "rb") as f:
            if f.read() == data:
                return False
    except FileNotFoundError:
        pass
    if not check:
        os.makedirs(os.path.dirname(os.path.abspath(target)), exist_ok=True)
        tmp = target + ".tmp"
        with open(tmp, "wb") as f:
            f.write(data)
        os.replace(tmp, target)
    return True


def main(argv=None):
    p = argparse.ArgumentParser(description="Write the device-type catalog files.")
    p.add_argument("--out", help="catalog folder (gets 0/ and 1/)")
    p.add_argument("--check", action="store_true", help="write nothing; exit 1 when a file would change")
    p.add_argument("--early-keys", metavar="OUT.h", help="write the header of early keys")
    args = p.parse_args(argv)
    if not args.out and not args.early_keys:
        p.error("give --out DIR, --early-keys OUT.h or both")
    try:
        changed = generate(args.out, args.check) if args.out else []
        if args.early_keys and write_if_changed(args.early_keys, render_early_keys(), args.check):
            changed.append("wrote " + args.early_keys)
    except (TableError, KeyError, ET.ParseError, OSError) as e:
        print(f"gen_catalog: {e}", file=sys.stderr)
        return 2
    for c in changed:
        print(("stale: " if args.check else "") + c)
    return 1 if args.check and changed else 0


if __name__ == "__main__":
    sys.exit(main())
