#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads a DXF drawing twice and prints one JSON object:

- "structure": problems found in the file's own tags, read here without ezdxf
  (ezdxf repairs missing tables and handles silently on load): the version,
  $HANDLING, a handle on every entity/table entry/block, unique handles,
  $HANDSEED above all of them, the tables R12 readers need, every used layer
  defined, INSERT/ATTRIB/SEQEND and POLYLINE/VERTEX/SEQEND sequences, the
  ATTRIB alignment rules and "." as decimal point.
- what ezdxf sees: audit errors, layers, inserts with their attributes,
  3D polylines with their vertices, and the header extents.

Usage: dxfcheck.py drawing.dxf
"""
import json
import re
import sys

import ezdxf

NUMBER = re.compile(r"^\s*[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?\s*$")


def tags(path):
    with open(path, "rb") as f:
        lines = f.read().decode("cp1252").splitlines()
    return [(int(lines[i]), lines[i + 1]) for i in range(0, len(lines) - 1, 2)]


def structure(path):
    problems = []
    t = tags(path)
    # Split into sections and objects.
    sections = {}
    i = 0
    while i < len(t):
        if t[i] == (0, "SECTION"):
            name = t[i + 1][1].strip()
            objs = []
            i += 2
            while t[i] != (0, "ENDSEC"):
                if t[i][0] in (0, 9) and (t[i][0] == 9 or name != "HEADER"):
                    objs.append([t[i]])
                elif objs:
                    objs[-1].append(t[i])
                i += 1
            sections[name] = objs
        i += 1
    header = {o[0][1].strip(): o[1:] for o in sections.get("HEADER", [])}
    if header.get("$ACADVER", [(1, "")])[0][1].strip() != "AC1009":
        problems.append("$ACADVER is not AC1009")
    if header.get("$HANDLING", [(70, "0")])[0][1].strip() != "1":
        problems.append("$HANDLING is not 1")
    seed = int(header.get("$HANDSEED", [(5, "0")])[0][1], 16)
    handles = set()
    for name in ("TABLES", "BLOCKS", "ENTITIES"):
        for o in sections.get(name, []):
            kind = o[0][1].strip()
            if kind in ("TABLE", "ENDTAB"):
                continue
            code = 105 if kind == "DIMSTYLE" else 5
            hs = [v for c, v in o if c == code]
            if not hs:
                problems.append("%s %s has no handle" % (name, kind))
                continue
            h = int(hs[0], 16)
            if h in handles:
                problems.append("handle %s used twice" % hs[0])
            handles.add(h)
            if h >= seed:
                problems.append("handle %s not below $HANDSEED" % hs[0])
    tables = {}
    current = None
    for o in sections.get("TABLES", []):
        kind = o[0][1].strip()
        if kind == "TABLE":
            current = dict(o[1:]).get(2, "").strip().upper()
            tables[current] = set()
        elif kind != "ENDTAB" and current:
            tables[current].add(dict(o[1:]).get(2, "").strip().upper())
    if "CONTINUOUS" not in tables.get("LTYPE", set()):
        problems.append("LTYPE CONTINUOUS missing")
    if "0" not in tables.get("LAYER", set()):
        problems.append("LAYER 0 missing")
    if "STANDARD" not in tables.get("STYLE", set()):
        problems.append("STYLE STANDARD missing")
    for name in ("BLOCKS", "ENTITIES"):
        objs = sections.get(name, [])
        for o in objs:
            layer = dict(o[1:]).get(8)
            if layer is not None and layer.strip().upper() not in tables.get("LAYER", set()):
                problems.append("layer %r used but not defined" % layer)
        k = 0
        while k < len(objs):
            kind = objs[k][0][1].strip()
            fields = dict(objs[k][1:])
            if kind == "INSERT" and fields.get(66, "0").strip() == "1":
                k += 1
                while k < len(objs) and objs[k][0][1].strip() == "ATTRIB":
                    a = dict(objs[k][1:])
                    if (int(a.get(72, "0")) or int(a.get(74, "0"))) and 11 not in a:
                        problems.append("ATTRIB aligned without alignment point")
                    k += 1
                if k >= len(objs) or objs[k][0][1].strip() != "SEQEND":
                    problems.append("INSERT with attributes not closed by SEQEND")
            elif kind == "POLYLINE":
                k += 1
                while k < len(objs) and objs[k][0][1].strip() == "VERTEX":
                    k += 1
                if k >= len(objs) or objs[k][0][1].strip() != "SEQEND":
                    problems.append("POLYLINE not closed by SEQEND")
            elif kind in ("ATTRIB", "VERTEX", "SEQEND"):
                problems.append("%s outside its sequence" % kind)
            k += 1
    for c, v in t:
        if 10 <= c <= 59 and not NUMBER.match(v):
            problems.append("number %r of code %d not in '.' form" % (v, c))
            break
    return problems


def main():
    path = sys.argv[1]
    out = {"structure": structure(path)}
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    out["audit_errors"] = [str(e.message) for e in auditor.errors]
    out["layers"] = sorted(layer.dxf.name for layer in doc.layers)
    msp = doc.modelspace()
    out["inserts"] = [{
        "handle": e.dxf.handle,
        "block": e.dxf.name,
        "layer": e.dxf.layer,
        "point": list(e.dxf.insert),
        "attribs": [[a.dxf.tag, a.dxf.text, list(a.dxf.insert)] for a in e.attribs],
    } for e in msp.query("INSERT")]
    out["polylines"] = [[list(v.dxf.location) for v in p.vertices] for p in msp.query("POLYLINE")]
    out["extmin"] = list(doc.header.get("$EXTMIN", (0, 0, 0)))
    out["extmax"] = list(doc.header.get("$EXTMAX", (0, 0, 0)))
    out["blocks"] = sorted(b.name for b in doc.blocks if not b.name.startswith("*"))
    print(json.dumps(out))


if __name__ == "__main__":
    main()
