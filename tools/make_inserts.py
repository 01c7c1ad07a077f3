#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes the block drawings shipped under support/Inserts/: Flag.dxf and one
symbol per waypoint icon (a..h) for each receiver model folder.

Each is a small AutoCAD R12 (AC1009) ASCII DXF with entity handles whose
entities become the block: the symbol drawn around the origin (the insertion
point) and an ATTDEF tagged TRANSFERTEXT to its right for the point's label.
Run once from the repository root; the results are committed.
"""
import math
import os
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "Inserts")


class Dxf:
    def __init__(self):
        self.handle = 0x20
        self.entities = []

    def next(self):
        self.handle += 1
        return "%X" % self.handle

    def add(self, kind, tags):
        self.entities.append([(0, kind), (5, self.next())] + tags)

    def line(self, a, b, layer="0"):
        self.add("LINE", [(8, layer), (10, a[0]), (20, a[1]), (30, 0.0), (11, b[0]), (21, b[1]), (31, 0.0)])

    def poly(self, points, layer="0", closed=True):
        for a, b in zip(points, points[1:] + (points[:1] if closed else [])):
            self.line(a, b, layer)

    def circle(self, c, r, layer="0"):
        self.add("CIRCLE", [(8, layer), (10, c[0]), (20, c[1]), (30, 0.0), (40, r)])

    def solid(self, pts, layer="0"):
        # R12 SOLID corners: 1, 2, then 4, 3 in drawing order; a triangle repeats its last corner.
        p = list(pts) + [pts[-1]] * (4 - len(pts))
        tags = [(8, layer)]
        for i, (x, y) in enumerate(p):
            tags += [(10 + i, x), (20 + i, y), (30 + i, 0.0)]
        self.add("SOLID", tags)

    def attdef(self, pos, height=1.0, layer="0"):
        self.add("ATTDEF", [(8, layer), (10, pos[0]), (20, pos[1]), (30, 0.0), (40, height), (1, ""),
                            (3, "Label"), (2, "TRANSFERTEXT"), (70, 0), (73, 0)])

    def text(self):
        handles = [self.next() for _ in range(3)]
        out = [(0, "SECTION"), (2, "HEADER"), (9, "$ACADVER"), (1, "AC1009"), (9, "$DWGCODEPAGE"),
               (3, "ANSI_1252"), (9, "$INSBASE"), (10, 0.0), (20, 0.0), (30, 0.0), (9, "$HANDLING"), (70, 1),
               (9, "$HANDSEED"), (5, "%X" % (self.handle + 1)), (0, "ENDSEC"),
               (0, "SECTION"), (2, "TABLES"),
               (0, "TABLE"), (2, "LTYPE"), (70, 1),
               (0, "LTYPE"), (5, handles[0]), (2, "CONTINUOUS"), (70, 0), (3, "Solid line"), (72, 65), (73, 0),
               (40, 0.0), (0, "ENDTAB"),
               (0, "TABLE"), (2, "LAYER"), (70, 1),
               (0, "LAYER"), (5, handles[1]), (2, "0"), (70, 0), (62, 7), (6, "CONTINUOUS"), (0, "ENDTAB"),
               (0, "TABLE"), (2, "STYLE"), (70, 1),
               (0, "STYLE"), (5, handles[2]), (2, "STANDARD"), (70, 0), (40, 0.0), (41, 1.0), (50, 0.0),
               (71, 0), (42, 0.2), (3, "txt"), (4, ""), (0, "ENDTAB"),
               (0, "ENDSEC"), (0, "SECTION"), (2, "BLOCKS"), (0, "ENDSEC"), (0, "SECTION"), (2, "ENTITIES")]
        for e in self.entities:
            out += e
        out += [(0, "ENDSEC"), (0, "EOF")]
        lines = []
        for code, value in out:
            if isinstance(value, float):
                value = repr(round(value, 6))
            lines.append("%3d" % code)
            lines.append(str(value))
        return "\n".join(lines) + "\n"


def flag():
    d = Dxf()
    d.line((0, 0), (0, 3))
    d.solid([(0, 3), (0, 2), (1.6, 2.5)])
    d.attdef((2.0, 0.0))
    return d


def regular(n, r, start=90.0):
    return [(r * math.cos(math.radians(start + 360.0 * i / n)), r * math.sin(math.radians(start + 360.0 * i / n)))
            for i in range(n)]


def icon(letter, ring):
    d = Dxf()
    if letter == "a":  # circle with a centre dot
        d.circle((0, 0), 1.0)
        d.circle((0, 0), 0.15)
    elif letter == "b":  # square
        d.poly([(-1, -1), (1, -1), (1, 1), (-1, 1)])
    elif letter == "c":  # triangle
        d.poly(regular(3, 1.2))
    elif letter == "d":  # diamond
        d.poly(regular(4, 1.2))
    elif letter == "e":  # X
        d.line((-1, -1), (1, 1))
        d.line((-1, 1), (1, -1))
    elif letter == "f":  # five-pointed star
        outer = regular(5, 1.2)
        d.poly([outer[(2 * i) % 5] for i in range(5)])
    elif letter == "g":  # plus in a circle
        d.circle((0, 0), 1.0)
        d.line((-1, 0), (1, 0))
        d.line((0, -1), (0, 1))
    elif letter == "h":  # house
        d.poly([(-1, -1), (1, -1), (1, 0.3), (0, 1.2), (-1, 0.3)])
    if ring:  # the second model's symbols sit in a square frame
        d.poly([(-1.5, -1.5), (1.5, -1.5), (1.5, 1.5), (-1.5, 1.5)])
    d.attdef((1.8 if not ring else 2.0, -0.5))
    return d


def write(path, drawing):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", newline="") as f:
        f.write(drawing.text())


def main():
    write(os.path.join(ROOT, "Flag.dxf"), flag())
    for model, ring in (("SporTrak", False), ("Meridian", True)):
        for letter in "abcdefgh":
            write(os.path.join(ROOT, model, letter + ".dxf"), icon(letter, ring))
    return 0


if __name__ == "__main__":
    sys.exit(main())
