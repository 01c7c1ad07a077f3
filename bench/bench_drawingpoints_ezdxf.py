#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# ezdxf doing the point reader's benchmark job: read the drawing, walk the
# model space INSERTs with their attributes and the program's extended data.
# Prints the seconds taken, one number.
#   bench_drawingpoints_ezdxf.py DRAWING
#   bench_drawingpoints_ezdxf.py --plain DRAWING    the same; blocks need no extended data
#   bench_drawingpoints_ezdxf.py --empty OUT VERSION    writes an empty drawing
import sys
import time

import ezdxf


def main():
    if sys.argv[1] == "--empty":
        ezdxf.new(sys.argv[3]).saveas(sys.argv[2])
        return
    plain = sys.argv[1] == "--plain"
    start = time.perf_counter()
    doc = ezdxf.readfile(sys.argv[2] if plain else sys.argv[1])
    found = 0
    for e in doc.modelspace().query("INSERT"):
        x, y, z = e.dxf.insert
        texts = [(a.dxf.tag, a.dxf.text) for a in e.attribs]
        data = e.get_xdata("KORVEL_TRANSFER") if e.has_xdata("KORVEL_TRANSFER") else None
        found += 1 if texts is not None and (plain or data is not None) else 0
    print(time.perf_counter() - start)
    if found == 0:
        sys.exit(1)


if __name__ == "__main__":
    main()
