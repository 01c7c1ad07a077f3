#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Drawings made by another writer (ezdxf), and what ezdxf sees in a drawing after
the engine added to it.

  otherwriters.py make FOLDER     writes drawing-<version>.dxf for every version
                                  R12..R2018, block-r2018.dxf, nested.dxf, userflag.dxf,
                                  columns-<version>.dxf (R2000..R2007), survey.dxf,
                                  layer0-dangling.dxf
  otherwriters.py check BEFORE AFTER
                                  prints JSON: audit errors of AFTER, entities of
                                  BEFORE missing or changed in AFTER (by handle, by
                                  their tag lists), the new INSERTs with attributes
"""
import json
import os
import re
import sys

import ezdxf
import ezdxf.bbox
from ezdxf.math import Vec3

VERSIONS = ["R12", "R13", "R14", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"]


def drawing(version, path):
    # ezdxf writes no R13/R14: those are its R2000 drawing under their version
    # (the same structure; only the version's own additions are missing).
    legacy = {"R13": "AC1012", "R14": "AC1014"}.get(version)
    doc = ezdxf.new("R2000" if legacy else version, setup=True)
    msp = doc.modelspace()
    doc.appids.new("SURVEYCO")
    line = msp.add_line((0, 0), (100, 50), dxfattribs={"layer": "Roads"})
    line.set_xdata("SURVEYCO", [(1000, "kerb 1998"), (1040, 3.25)])
    msp.add_circle((10, 10), 3)
    msp.add_text("Caf\u00e9 \u20ac", dxfattribs={"height": 2.5}).set_placement((5, 5))
    block = doc.blocks.new("TREE")
    block.add_circle((0, 0), 1)
    block.add_attdef("SPECIES", (1, 1), dxfattribs={"height": 0.5})
    msp.add_blockref("TREE", (20, 20)).add_auto_attribs({"SPECIES": "oak"})
    if version != "R12":
        msp.add_lwpolyline([(0, 0, 0, 0, 0.5), (10, 0), (10, 10)], format="xyseb")
        msp.add_mtext("first line\\Psecond", dxfattribs={"char_height": 1.5, "insert": (30, 30)})
        hatch = msp.add_hatch(color=3)
        hatch.paths.add_polyline_path([(40, 0), (50, 0), (50, 10)], is_closed=True)
        msp.add_ellipse((60, 0), major_axis=(5, 0), ratio=0.5, start_param=0, end_param=3)
        msp.add_spline([(0, 0), (10, 5), (20, 0), (30, 5)])
        dim = msp.add_linear_dim(base=(0, -10), p1=(0, 0), p2=(30, 0))
        dim.render()
        layout = doc.layouts.new("Sheet 2")
        layout.add_line((0, 0), (297, 210))
        doc.layout("Layout1").add_circle((50, 50), 20)
    else:
        msp.add_polyline2d([(0, 0), (10, 0), (10, 10)])
    doc.saveas(path)
    if legacy:
        with open(path, "rb") as f:
            text = f.read()
        with open(path, "wb") as f:
            f.write(text.replace(b"$ACADVER\n  1\nAC1015", b"$ACADVER\n  1\n" + legacy.encode(), 1))


def block_r2018(path):
    doc = ezdxf.new("R2018")
    msp = doc.modelspace()
    msp.add_lwpolyline([(0, 0, 0, 0, 1.0), (2, 0, 0, 0, 0), (2, 3)], format="xyseb", close=True)
    msp.add_attdef("TRANSFERTEXT", (2.5, 3), dxfattribs={"height": 0.8})
    msp.add_mtext("survey mark", dxfattribs={"char_height": 0.4, "insert": (0, -1)})
    doc.saveas(path)


def block_lw(path):
    doc = ezdxf.new("R2018")
    doc.appids.new("SURVEYCO")
    msp = doc.modelspace()
    lw = msp.add_lwpolyline([(0, 0, 0, 0, 1.0), (2, 0, 0, 0, 0), (2, 3)], format="xyseb", close=True)
    lw.set_xdata("SURVEYCO", [(1000, "mark")])
    msp.add_attdef("TRANSFERTEXT", (2.5, 3), dxfattribs={"height": 0.8})
    doc.saveas(path)


def nested(path):
    doc = ezdxf.new("R2000")
    inner = doc.blocks.new("PEG")
    inner.add_circle((0, 0), 0.2)
    middle = doc.blocks.new("PEGS")
    middle.add_blockref("PEG", (0, 0))
    middle.add_blockref("PEG", (1, 0))
    msp = doc.modelspace()
    msp.add_blockref("PEGS", (0, 0))
    msp.add_attdef("TRANSFERTEXT", (0, 1), dxfattribs={"height": 0.5})
    doc.saveas(path)


def user_flag(path):
    doc = ezdxf.new("R2018")
    flag = doc.blocks.new("Flag")
    flag.add_line((0, 0), (5, 5))
    doc.modelspace().add_blockref("Flag", (1, 1))
    doc.saveas(path)


def columns_block(version, path):
    """A block drawing as CAD programs of 2000 to 2007 write MTEXT columns: the
    first column holds extended data naming the others (1005), which follow it
    as MTEXTs of their own. Also a line whose extended data names a circle of
    model space and one naming an entity of paper space, which is not copied."""
    doc = ezdxf.new(version)
    doc.appids.new("SURVEYCO")
    doc.appids.new("SHEETREF")
    msp = doc.modelspace()
    msp.add_mtext_static_columns(["first column", "second column", "third"], width=5, gutter_width=1,
                                 height=4, dxfattribs={"char_height": 0.5, "insert": (0, 0)})
    msp.add_attdef("TRANSFERTEXT", (2.5, 5), dxfattribs={"height": 0.8})
    circle = msp.add_circle((1, 1), 0.5)
    sheet = doc.layout("Layout1").add_line((0, 0), (10, 10))
    line = msp.add_line((0, 0), (1, 1))
    line.set_xdata("SURVEYCO", [(1000, "peg"), (1005, circle.dxf.handle)])
    line.set_xdata("SHEETREF", [(1000, "sheet"), (1005, sheet.dxf.handle)])
    doc.saveas(path)


def survey(path):
    """A drawing at UTM coordinates whose header states its extents, with
    geometry whose bounds only a text or curve measure finds: a long text, an
    MTEXT (its direction is a vector, no point), an ellipse."""
    doc = ezdxf.new("R2018")
    msp = doc.modelspace()
    msp.add_text("a long label for the site office", dxfattribs={"height": 40, "insert": (500000, 4000000)})
    msp.add_mtext("gate", dxfattribs={"insert": (500500, 4000300), "char_height": 5,
                                      "text_direction": (1, 0, 0)})
    msp.add_ellipse((500300, 3999800), major_axis=(150, 0), ratio=0.5)
    box = ezdxf.bbox.extents(msp)
    msp.dxf.extmin, msp.dxf.extmax = box.extmin, box.extmax  # written to the header on save
    doc.saveas(path)


def layer0_dangling(path):
    """Layer 0 with a plot style handle (390) that names no object, as some
    writers leave it."""
    doc = ezdxf.new("R2018")
    doc.modelspace().add_line((0, 0), (10, 10))
    doc.saveas(path)
    with open(path) as f:
        text = f.read()
    at = text.index("AcDbLayerTableRecord\n  2\n0\n")
    start = text.index("390\n", at) + 4
    end = text.index("\n", start)
    with open(path, "w") as f:
        f.write(text[:start] + "FFFF0" + text[end:])


def entities(doc):
    out = {}
    for layout in doc.layouts:
        for e in layout:
            out[e.dxf.handle] = e
    return out


def tags_of(e):
    from ezdxf.lldxf.tagwriter import TagCollector
    collector = TagCollector(dxfversion=e.doc.dxfversion)
    e.export_dxf(collector)
    return [(t[0], str(t[1])) for t in collector.tags]


def raw_objects(path):
    """{section name: [[(code, value), ...] per object]} read from the file's own tags
    (ezdxf repairs missing block records, owners and handles silently on load)."""
    with open(path, "rb") as f:
        lines = f.read().decode("latin-1").splitlines()
    tags = [(int(lines[i]), lines[i + 1].strip()) for i in range(0, len(lines) - 1, 2)]
    sections, name, objs = {}, None, None
    for i, t in enumerate(tags):
        if t == (0, "SECTION"):
            name, objs = tags[i + 1][1], []
            sections[name] = objs
        elif t == (0, "ENDSEC"):
            name = None
        elif name and t[0] == (9 if name == "HEADER" else 0) and i > 0 and tags[i - 1] != (0, "SECTION"):
            objs.append([t])
        elif name and objs:
            objs[-1].append(t)
    return sections


def is_reference(code):
    return 320 <= code <= 369 or 390 <= code <= 399 or code in (480, 481, 1005)


def structure(path):
    """What R13+ readers rely on: unique handles below $HANDSEED, every owner a
    handle of the file, every pointer of a table entry an object of the file,
    each block with its BLOCK_RECORD owning it."""
    problems = []
    sections = raw_objects(path)
    header = {o[0][1]: o[1:] for o in sections.get("HEADER", [])}
    modern = header.get("$ACADVER", [(1, "AC1009")])[0][1] >= "AC1012"
    seed = int(header.get("$HANDSEED", [(5, "0")])[0][1], 16)
    handles, owners = set(), []
    for name in ("TABLES", "BLOCKS", "ENTITIES", "OBJECTS"):
        for o in sections.get(name, []):
            h = next((v for c, v in o[1:] if c in (5, 105)), None)
            if h is None:
                if modern and o[0][1] not in ("ENDTAB",):
                    problems.append(f"{name} {o[0][1]} has no handle")
                continue
            if h in handles:
                problems.append(f"handle {h} used twice")
            handles.add(h)
            if int(h, 16) >= seed:
                problems.append(f"handle {h} not below $HANDSEED")
            owner = next((v for c, v in o[1:] if c == 330), None)
            if modern and owner is None and name != "OBJECTS":
                problems.append(f"{name} {o[0][1]} {h} has no owner")
            if owner and owner != "0":
                owners.append((owner, f"{o[0][1]} {h}"))
    for owner, what in owners:
        if owner not in handles:
            problems.append(f"{what}: owner {owner} is no object of the drawing")
    dangling = set()
    for o in sections.get("TABLES", []):
        for c, v in o[1:]:
            if is_reference(c) and c != 330 and v != "0" and v not in handles:
                dangling.add((c, v))
                problems.append(f"{o[0][1]} {dict(o).get(2)}: {c} {v} names no object")
    if modern:
        # A new layer has the shape of layer "0": the same group codes (a
        # pointer of layer 0 that names nothing is no part of the shape).
        layers = {dict(o).get(2): [c for c, v in o if c not in (5, 2) and (c, v) not in dangling]
                  for o in sections.get("TABLES", []) if o[0][1] == "LAYER"}
        for name, codes in layers.items():
            if codes != layers.get("0"):
                problems.append(f"layer {name} is not shaped as layer 0: {codes}")
        records = {}
        for o in sections.get("TABLES", []):
            if o[0][1] == "BLOCK_RECORD":
                records[dict(o).get(2, "").upper()] = dict(o).get(5)
        for o in sections.get("BLOCKS", []):
            if o[0][1] == "BLOCK":
                d = dict(o)
                if records.get(d.get(2, "").upper()) != d.get(330):
                    problems.append(f"block {d.get(2)} is not owned by a BLOCK_RECORD of its name")
    return problems


def foreign_references(before_path, after_path):
    """References in the entities of the blocks AFTER added (extended data,
    reactors, pointers; an entity's owner aside) that name anything but an
    entity of those blocks."""
    def blocks(path):
        out, name = {}, None
        for o in raw_objects(path).get("BLOCKS", []):
            if o[0][1] == "BLOCK":
                name = dict(o).get(2, "").upper()
                out[name] = []
            elif o[0][1] == "ENDBLK":
                name = None
            elif name is not None:
                out[name].append(o)
        return out
    old = blocks(before_path)
    added = [o for name, objs in blocks(after_path).items() if name not in old for o in objs]
    inside = {v.upper() for o in added for c, v in o[1:] if c == 5}
    problems = []
    for o in added:
        refs = [(c, v) for c, v in o[1:] if is_reference(c)]
        if refs and refs[0][0] == 330:
            refs = refs[1:]  # the owner
        problems += [f"{o[0][1]} in a new block: {c} {v} names no entity of the new blocks"
                     for c, v in refs if v != "0" and v.upper() not in inside]
    return problems


def extents(doc):
    return [list(doc.header.get("$EXTMIN", (0, 0, 0))), list(doc.header.get("$EXTMAX", (0, 0, 0)))]


def box(entities):
    b = ezdxf.bbox.extents(entities)
    return [list(b.extmin), list(b.extmax)] if b.has_data else []


def shown(text):
    """Text as CAD programs show it: \\U+XXXX is the character XXXX."""
    return re.sub(r"\\U\+([0-9A-Fa-f]{4})", lambda m: chr(int(m.group(1), 16)), text)


def check(before_path, after_path):
    before = ezdxf.readfile(before_path)
    after = ezdxf.readfile(after_path)
    auditor = after.audit()
    result = {
        "version": after.dxfversion,
        # Problems the drawing had before (another writer's) are not ours to judge.
        "audit_errors": [f"{e.code}: {e.message}" for e in auditor.errors]
        + [p for p in structure(after_path) if p not in structure(before_path)]
        + foreign_references(before_path, after_path),
        "audit_fixes": [f"{e.code}: {e.message}" for e in auditor.fixes],
        "missing": [],
        "changed": [],
        "inserts": [],
        "undefined_blocks": [],
        "polylines": 0,
        "blocks": {},
        "bulges": [],
        "appids": [a.dxf.name for a in after.appids],
        "layers": [layer.dxf.name for layer in after.layers],
        # Header extents before and after, and the bounds ezdxf measures.
        "extents_before": extents(before),
        "extents": extents(after),
        "geometry": box(after.modelspace()),
        "inserts_box": box([e for e in after.modelspace().query("INSERT")
                            if e.dxf.handle not in entities(before)]),
    }
    old = entities(before)
    new = entities(after)
    for handle, e in old.items():
        if handle not in new:
            result["missing"].append(f"{e.dxftype()} {handle}")
        elif tags_of(e) != tags_of(new[handle]):
            result["changed"].append(f"{e.dxftype()} {handle}")
    for handle, e in new.items():
        if handle in old:
            continue
        if e.dxftype() == "INSERT":
            result["inserts"].append({"block": e.dxf.name, "layer": e.dxf.layer,
                                      "attribs": {a.dxf.tag: shown(a.dxf.text) for a in e.attribs}})
        elif e.dxftype() == "POLYLINE":
            result["polylines"] += 1
    result["columns"] = []
    result["block_lines"] = []
    xdata = set()
    for block in after.blocks:
        if block.name not in before.blocks:
            result["blocks"][block.name] = [e.dxftype() for e in block]
            for e in block:
                xdata.update(e.xdata.data.keys() if e.xdata else [])
                if e.dxftype() == "MTEXT" and e.has_columns:
                    result["columns"].append(e.columns.count)
                elif e.dxftype() == "LINE":
                    result["block_lines"].append(list(e.dxf.start) + list(e.dxf.end))
            for e in block:
                if e.dxftype() == "POLYLINE":
                    result["bulges"] += [v.dxf.bulge for v in e.vertices]
            result["block_xdata"] = sorted(xdata)
        elif block.name == "Flag":
            result["blocks"][block.name] = [e.dxftype() for e in block]
        for e in block:
            if e.dxftype() == "INSERT" and e.dxf.name not in after.blocks:
                result["undefined_blocks"].append(e.dxf.name)
    print(json.dumps(result))


if __name__ == "__main__":
    if sys.argv[1] == "make":
        folder = sys.argv[2]
        for v in VERSIONS:
            drawing(v, os.path.join(folder, f"drawing-{v}.dxf"))
        block_r2018(os.path.join(folder, "block-r2018.dxf"))
        block_lw(os.path.join(folder, "block-lw.dxf"))
        nested(os.path.join(folder, "nested.dxf"))
        user_flag(os.path.join(folder, "userflag.dxf"))
        for v in ("R2000", "R2004", "R2007"):
            columns_block(v, os.path.join(folder, f"columns-{v}.dxf"))
        survey(os.path.join(folder, "survey.dxf"))
        layer0_dangling(os.path.join(folder, "layer0-dangling.dxf"))
    else:
        check(sys.argv[2], sys.argv[3])
