#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The big-drawing benchmark's ezdxf side.
#   bench_cad_big.py skeleton VERSION OUT   a drawing with blocks and a few
#                                           entities, for the benchmark to fill
#   bench_cad_big.py append IN BLOCK OUT    ezdxf doing the engine's job: read
#                                           the drawing, define the block of a
#                                           block drawing, add one reference
#                                           with its attribute, save; prints the
#                                           seconds taken, the peak memory in
#                                           bytes and the processor seconds
import resource
import sys
import time

import ezdxf
from ezdxf.addons import Importer


def skeleton(version, out):
    doc = ezdxf.new(version)
    msp = doc.modelspace()
    for b in range(20):
        block = doc.blocks.new("SYMBOL%d" % b)
        block.add_circle((0, 0), 1 + b)
        block.add_line((-1, 0), (1, 0))
        block.add_attdef("ID", (0, 2), dxfattribs={"height": 0.5})
        msp.add_blockref("SYMBOL%d" % b, (b * 10, 0)).add_auto_attribs({"ID": "S%d" % b})
    doc.saveas(out)


def append(path, block_file, out):
    start = time.perf_counter()
    doc = ezdxf.readfile(path)
    source = ezdxf.readfile(block_file)
    block = doc.blocks.new(name="FLAG_BENCH")
    importer = Importer(source, doc)
    importer.import_entities(source.modelspace(), block)
    importer.finalize()
    ref = doc.modelspace().add_blockref("FLAG_BENCH", (1000, 2000))
    for a in block.query("ATTDEF"):
        ref.add_attrib(a.dxf.tag, "WP1", a.dxf.insert + ref.dxf.insert)
    doc.saveas(out)
    seconds = time.perf_counter() - start
    usage = resource.getrusage(resource.RUSAGE_SELF)
    print("%.3f %d %.3f" % (seconds, usage.ru_maxrss * 1024, usage.ru_utime + usage.ru_stime))


if sys.argv[1] == "skeleton":
    skeleton(sys.argv[2], sys.argv[3])
else:
    append(sys.argv[2], sys.argv[3], sys.argv[4])
