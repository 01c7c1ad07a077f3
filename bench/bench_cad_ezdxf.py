#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# ezdxf doing the drawing engine's benchmark job: one R12 drawing (or the drawing
# BASE, read first, when given), the block of a block drawing file defined once,
# N inserts each with the block's attributes (text set) and the extended data the
# program gives each point it inserts (application KORVEL_TRANSFER: zone, hemisphere,
# unit, name, message, icon), file written at the end.
# Prints the seconds taken, one number.
#   bench_cad_ezdxf.py BLOCK OUT N [BASE]
#   bench_cad_ezdxf.py --base OUT MB     writes an R2018 drawing of about MB
#                                        megabytes of lines, to insert into
import sys
import time

import ezdxf
from ezdxf.addons import Importer


def base(out_path, megabytes):
    doc = ezdxf.new("R2018")
    msp = doc.modelspace()
    # A LINE of an R2018 drawing takes about 115 bytes.
    for i in range(int(megabytes * 1e6 / 115)):
        msp.add_line((i % 1000, i // 1000), (i % 1000 + 0.5, i // 1000 + 0.5), dxfattribs={"layer": "SITE"})
    doc.saveas(out_path)


def main():
    if sys.argv[1] == "--base":
        base(sys.argv[2], float(sys.argv[3]))
        return
    block_file, out_path, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
    start = time.perf_counter()
    source = ezdxf.readfile(block_file)
    doc = ezdxf.readfile(sys.argv[4]) if len(sys.argv) > 4 else ezdxf.new("R12")
    block = doc.blocks.new(name="FLAG")
    attdefs = [e for e in source.modelspace() if e.dxftype() == "ATTDEF"]
    importer = Importer(source, doc)
    importer.import_entities(source.modelspace(), block)
    importer.finalize()
    if "POINTS" not in doc.layers:
        doc.layers.add("POINTS")
    if "KORVEL_TRANSFER" not in doc.appids:
        doc.appids.new("KORVEL_TRANSFER")
    msp = doc.modelspace()
    for i in range(count):
        ref = msp.add_blockref("FLAG", (i * 1.5, (i % 100) * 2.0), dxfattribs={"layer": "POINTS"})
        for a in attdefs:
            ref.add_attrib(a.dxf.tag, "WP%05d" % i, a.dxf.insert + ref.dxf.insert)
        ref.set_xdata("KORVEL_TRANSFER", [(1070, 15), (1000, "N"), (1000, "m"), (1000, "WP%05d" % i),
                                          (1000, ""), (1000, "a")])
    doc.header["$EXTMIN"], doc.header["$EXTMAX"] = (0, 0, 0), (count * 1.5, 200, 0)
    doc.saveas(out_path)
    print("%.3f" % (time.perf_counter() - start))


main()
