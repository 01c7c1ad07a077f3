#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# ezdxf doing the drawing engine's benchmark job: one R12 drawing, the block of
# a block drawing file defined once, N inserts each with the block's attributes
# (text set), file written at the end. Prints the seconds taken, one number.
import sys
import time

import ezdxf
from ezdxf.addons import Importer


def main():
    block_file, out_path, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
    start = time.perf_counter()
    source = ezdxf.readfile(block_file)
    doc = ezdxf.new("R12")
    block = doc.blocks.new(name="FLAG")
    attdefs = [e for e in source.modelspace() if e.dxftype() == "ATTDEF"]
    importer = Importer(source, doc)
    importer.import_entities(source.modelspace(), block)
    importer.finalize()
    doc.layers.add("POINTS")
    msp = doc.modelspace()
    for i in range(count):
        ref = msp.add_blockref("FLAG", (i * 1.5, (i % 100) * 2.0), dxfattribs={"layer": "POINTS"})
        for a in attdefs:
            ref.add_attrib(a.dxf.tag, "WP%05d" % i, a.dxf.insert + ref.dxf.insert)
    doc.header["$EXTMIN"], doc.header["$EXTMAX"] = (0, 0, 0), (count * 1.5, 200, 0)
    doc.saveas(out_path)
    print("%.3f" % (time.perf_counter() - start))


main()
