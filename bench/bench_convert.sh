#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The command line on 100,000 waypoints (a GPX file, points spread over zones
# 14 to 17): --convert into a new drawing and into a copy of a 20 MB R2018
# drawing, beside ezdxf writing the same labelled blocks with the same
# extended data (bench_cad_ezdxf.py); --convert to CSV beside gpsbabel's unicsv.
# Prints wall time and peak memory (GNU time) of each. Runs from the build's bin/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../../.." && pwd) # the build's bin/ is <source>/build/<name>/bin
[ -f "$src/bench/bench_cad_ezdxf.py" ] || src=${KORVEL_SOURCE_DIR:?set KORVEL_SOURCE_DIR}
korvel=$here/korvel-transfer
rows=${1:-100000}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_DATA_HOME=$tmp/data

awk -v n="$rows" 'BEGIN {
  srand(7); print "<?xml version=\"1.0\"?>";
  print "<gpx version=\"1.1\" creator=\"bench\" xmlns=\"http://www.topografix.com/GPX/1/1\">";
  for (i = 0; i < n; i++)
    printf "<wpt lat=\"%.7f\" lon=\"%.7f\"><ele>%d</ele><name>WP%05d</name><desc>SITE %d</desc><sym>a</sym></wpt>\n",
           30 + rand() * 10, -102 + rand() * 24, 100 + i % 300, i % 100000, i;
  print "</gpx>" }' > "$tmp/in.gpx"

measure() { # label, command...
  local label=$1; shift
  /usr/bin/time -f "%e %M" -o "$tmp/time" "$@" > "$tmp/out" 2> "$tmp/err" || { echo "$label: failed"; tail -3 "$tmp/err"; return 1; }
  read -r wall kb < "$tmp/time"
  printf "%-58s %7.2f s  %7.1f MB\n" "$label" "$wall" "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')"
}

flag=$src/support/Inserts/Flag.dxf
ezdxf=$src/bench/bench_cad_ezdxf.py
/usr/bin/python3 "$ezdxf" --base "$tmp/base.dxf" 20
echo "$rows waypoints:"
measure "korvel-transfer --convert in.gpx new.dxf" "$korvel" --convert "$tmp/in.gpx" "$tmp/new.dxf" --metres
measure "ezdxf, the same blocks into a new R12 drawing" /usr/bin/python3 "$ezdxf" "$flag" "$tmp/ez.dxf" "$rows"
cp "$tmp/base.dxf" "$tmp/site.dxf"
measure "korvel-transfer --convert in.gpx site.dxf (20 MB R2018)" "$korvel" --convert "$tmp/in.gpx" "$tmp/site.dxf" --metres
measure "ezdxf, the same blocks into the 20 MB R2018 drawing" /usr/bin/python3 "$ezdxf" "$flag" "$tmp/ez2.dxf" "$rows" "$tmp/base.dxf"
measure "korvel-transfer --convert in.gpx out.csv" "$korvel" --convert "$tmp/in.gpx" "$tmp/out.csv"
if command -v gpsbabel > /dev/null; then
  measure "gpsbabel -i gpx -o unicsv" gpsbabel -i gpx -f "$tmp/in.gpx" -o unicsv -F "$tmp/babel.csv"
fi
