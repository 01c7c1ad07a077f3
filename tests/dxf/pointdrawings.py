#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the drawings the point reader is tested on into a folder.

ezdxf: r12.dxf, r2000.dxf, r2018.dxf, each with the same content:
  layer Sites: block FLAG (attributes TRANSFERTEXT "Café A", CODE "C1") at
    (1000.5, 2000.25, 3.5); block PLAIN (no attributes) at (10, 20, 0);
    POINT at (7, 8, 9)
  layer Other: block FLAG (TRANSFERTEXT empty, CODE "C2") at OCS (5, 6, 7)
    with extrusion (0, 0, -1), that is WCS (-5, 6, -7)
  layer Lines: a 2D polyline at elevation 12 through (0, 0) (10, 0) (10, 10)
    (LWPOLYLINE from R2000 on, POLYLINE in R12), a 3D polyline (1, 2, 3) (4, 5, 6)
  paper space: a FLAG block and a POINT (not model space).
GDAL (ogr2ogr): gdal.dxf with POINTs (7, 8, 9) and (1, 1, 0) on layer Sites
  and a line (0, 0) (3, 4) on layer Lines.

Usage: pointdrawings.py folder
       pointdrawings.py xdata drawing.dxf    (JSON: audit errors, and the program's
           extended data of every INSERT and 3D polyline vertex by handle)
       pointdrawings.py move drawing.dxf handle x y z    (moves a block reference)
"""
import json
import os
import subprocess
import sys

import ezdxf


def drawing(version, path):
    doc = ezdxf.new(version)
    for layer in ("Sites", "Lines", "Other"):
        doc.layers.add(layer)
    flag = doc.blocks.new("FLAG")
    flag.add_line((0, 0), (0, 3))
    flag.add_attdef("TRANSFERTEXT", (0.2, 2.5), dxfattribs={"height": 1})
    flag.add_attdef("CODE", (0.2, 1.0), dxfattribs={"height": 1})
    plain = doc.blocks.new("PLAIN")
    plain.add_circle((0, 0), 1)
    msp = doc.modelspace()
    ref = msp.add_blockref("FLAG", (1000.5, 2000.25, 3.5), dxfattribs={"layer": "Sites"})
    ref.add_attrib("TRANSFERTEXT", "Caf\u00e9 A", (1000.7, 2002.75))
    ref.add_attrib("CODE", "C1", (1000.7, 2001.25))
    msp.add_blockref("PLAIN", (10, 20, 0), dxfattribs={"layer": "Sites"})
    msp.add_point((7, 8, 9), dxfattribs={"layer": "Sites"})
    turned = msp.add_blockref("FLAG", (5, 6, 7), dxfattribs={"layer": "Other", "extrusion": (0, 0, -1)})
    turned.add_attrib("TRANSFERTEXT", "", (5.2, 8.5))
    turned.add_attrib("CODE", "C2", (5.2, 7))
    square = [(0, 0), (10, 0), (10, 10)]
    if version == "R12":
        msp.add_polyline2d(square, dxfattribs={"layer": "Lines", "elevation": (0, 0, 12)})
    else:
        msp.add_lwpolyline(square, dxfattribs={"layer": "Lines", "elevation": 12})
    msp.add_polyline3d([(1, 2, 3), (4, 5, 6)], dxfattribs={"layer": "Lines"})
    psp = doc.layout("Layout1")
    psp.add_blockref("FLAG", (1, 1), dxfattribs={"layer": "Sites"}).add_attrib("TRANSFERTEXT", "paper", (1, 1))
    psp.add_point((2, 2), dxfattribs={"layer": "Sites"})
    doc.saveas(path)


def gdal(folder):
    source = os.path.join(folder, "gdal.geojson")
    features = [
        {"type": "Feature", "properties": {"Layer": "Sites"},
         "geometry": {"type": "Point", "coordinates": [7, 8, 9]}},
        {"type": "Feature", "properties": {"Layer": "Sites"},
         "geometry": {"type": "Point", "coordinates": [1, 1, 0]}},
        {"type": "Feature", "properties": {"Layer": "Lines"},
         "geometry": {"type": "LineString", "coordinates": [[0, 0], [3, 4]]}},
    ]
    with open(source, "w") as f:
        json.dump({"type": "FeatureCollection", "features": features}, f)
    subprocess.run(["ogr2ogr", "-f", "DXF", os.path.join(folder, "gdal.dxf"), source], check=True,
                   stdout=subprocess.DEVNULL)


APP = "KORVEL_TRANSFER"


def xdata(path):
    doc = ezdxf.readfile(path)
    auditor = doc.audit()
    found = {}
    for e in doc.modelspace():
        if e.dxftype() == "INSERT" and e.has_xdata(APP):
            found[e.dxf.handle] = [[code, value] for code, value in e.get_xdata(APP)]
        elif e.dxftype() == "POLYLINE":
            for v in e.vertices:
                if v.has_xdata(APP):
                    found[v.dxf.handle] = [[code, value] for code, value in v.get_xdata(APP)]
    print(json.dumps({"audit": [str(x.message) for x in auditor.errors],
                      "appid": APP in doc.appids, "xdata": found}))


def move(path, handle, x, y, z):
    doc = ezdxf.readfile(path)
    ref = doc.entitydb[handle]
    ref.dxf.insert = (float(x), float(y), float(z))
    doc.saveas(path)


if __name__ == "__main__":
    if sys.argv[1] == "xdata":
        xdata(sys.argv[2])
        sys.exit(0)
    if sys.argv[1] == "move":
        move(*sys.argv[2:7])
        sys.exit(0)
    folder = sys.argv[1]
    for version, name in (("R12", "r12.dxf"), ("R2000", "r2000.dxf"), ("R2018", "r2018.dxf")):
        drawing(version, os.path.join(folder, name))
    gdal(folder)
