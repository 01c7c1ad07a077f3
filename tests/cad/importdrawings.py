#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes a drawing with ezdxf from a JSON description, for the drawing import tests.

Usage: importdrawings.py drawing.dxf JSON
JSON: {"version": "R12" | "R2000" | "R2018" ..., "entities": [...]}, each entity one of
  {"kind": "block", "layer": L, "at": [x, y, z], "attribs": [[tag, text], ...]}
  {"kind": "point", "layer": L, "at": [x, y, z]}
  {"kind": "poly3d", "layer": L, "points": [[x, y, z], ...]}
Blocks are references to FLAG, whose attribute definitions are TRANSFERTEXT and CODE.
Prints the handles of the entities, one a line, in the order given.
"""
import json
import sys

import ezdxf


def main(path, drawing):
    drawing = json.loads(drawing)
    doc = ezdxf.new(drawing["version"])
    flag = doc.blocks.new("FLAG")
    flag.add_line((0, 0), (0, 3))
    flag.add_attdef("TRANSFERTEXT", (0.2, 2.5), dxfattribs={"height": 1})
    flag.add_attdef("CODE", (0.2, 1.0), dxfattribs={"height": 1})
    msp = doc.modelspace()
    for e in drawing["entities"]:
        layer = e.get("layer", "0")
        if layer not in doc.layers:
            doc.layers.add(layer)
        if e["kind"] == "block":
            ref = msp.add_blockref("FLAG", e["at"], dxfattribs={"layer": layer})
            for tag, text in e.get("attribs", []):
                ref.add_attrib(tag, text, e["at"][:2])
            made = ref
        elif e["kind"] == "point":
            made = msp.add_point(e["at"], dxfattribs={"layer": layer})
        else:
            made = msp.add_polyline3d(e["points"], dxfattribs={"layer": layer})
        print(made.dxf.handle)
    doc.saveas(path)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
