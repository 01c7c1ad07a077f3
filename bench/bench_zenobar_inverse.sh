#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Times zenobar --batch --inverse on 1,000,000 lines of "ZONEn EASTING NORTHING"
# (points all over the UTM latitudes, each in its own zone, made by GeoConvert)
# beside GeographicLib's GeoConvert -g -p 5 (package geographiclib-tools) on the
# same input, against the target of 3 s, and checks that the two agree to
# 1e-9 degree. Then zenobar --batch --inverse --crs EPSG:2274 beside
# cs2cs EPSG:2274 EPSG:4326 on 1,000,000 Tennessee points (to 1e-8 degree).
# Runs from the build's bin/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
zenobar=$here/zenobar
lines=${1:-1000000}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

geoconvert=$(command -v GeoConvert || true)
if [ -z "$geoconvert" ]; then
  echo "GeoConvert not found (package geographiclib-tools): --inverse not timed"
  exit 0
fi

# Latitude and longitude, then their UTM grid by GeoConvert (zone and hemisphere
# as one field, "15n"), to 0.1 mm.
awk -v n="$lines" 'BEGIN { srand(13); for (i = 0; i < n; i++) printf "%.10f %.10f\n", -80 + rand() * 164, -180 + rand() * 360 }' \
  > "$tmp/geo"
"$geoconvert" -u -p 4 < "$tmp/geo" > "$tmp/in"

TIMEFORMAT='%R %U %S'
best_of_three() {
  best_wall=999999; best_cpu=999999
  for pass in 1 2 3; do
    read -r wall user sys < <( { time "$@" < "$tmp/in" > "$tmp/out"; } 2>&1 )
    best_wall=$(awk -v a="$best_wall" -v b="$wall" 'BEGIN { print (b < a ? b : a) }')
    best_cpu=$(awk -v a="$best_cpu" -v b="$user" -v c="$sys" 'BEGIN { print (b + c < a ? b + c : a) }')
  done
}
verdict() { awk -v s="$1" 'BEGIN { print (s <= 3 ? "met" : "NOT met") }'; }
# Largest difference in degrees between two files of "LATITUDE LONGITUDE" lines
# (longitudes the short way round); "mismatch" when the lines do not pair up.
worst_difference() {
  paste "$1" "$2" | awk '
    NF < 4 || $1 == "ERROR:" { bad++; next }
    { d = $1 - $3; if (d < 0) d = -d; if (d > w) w = d
      d = $2 - $4; if (d > 180) d -= 360; if (d < -180) d += 360; if (d < 0) d = -d; if (d > w) w = d }
    END { if (bad || NR == 0) print "mismatch"; else printf "%.2e", w }'
}

best_of_three "$zenobar" --batch --inverse
z_wall=$best_wall; z_cpu=$best_cpu
mv "$tmp/out" "$tmp/zenobar.txt"
best_of_three "$geoconvert" -g -p 5
g_wall=$best_wall; g_cpu=$best_cpu
worst=$(worst_difference "$tmp/zenobar.txt" "$tmp/out")
echo "zenobar --batch --inverse on $lines lines (best of 3): wall $z_wall s, CPU $z_cpu s" \
     "($(awk -v s="$z_cpu" -v n="$lines" 'BEGIN { printf "%.0f", s * 1e9 / n }') ns/line CPU);" \
     "GeoConvert -g -p 5: wall $g_wall s, CPU $g_cpu s; largest difference $worst degree;" \
     "target <= 3 s: wall $(verdict "$z_wall"), CPU $(verdict "$z_cpu")"
[ "$worst" != mismatch ] && awk -v w="$worst" 'BEGIN { exit !(w <= 1e-9) }'

cs2cs=$(command -v cs2cs || true)
if [ -z "$cs2cs" ]; then
  echo "cs2cs not found (package proj-bin): --inverse --crs not timed"
  exit 0
fi
# Tennessee in US survey feet: eastings 1.0e6..3.1e6 ft, northings 2.0e5..7.2e5 ft.
awk -v n="$lines" 'BEGIN { srand(17); for (i = 0; i < n; i++) printf "%.4f %.4f\n", 1.0e6 + rand() * 2.1e6, 2.0e5 + rand() * 5.2e5 }' \
  > "$tmp/in"
best_of_three "$zenobar" --batch --inverse --crs EPSG:2274
z_wall=$best_wall; z_cpu=$best_cpu
mv "$tmp/out" "$tmp/zenobar.txt"
best_of_three "$cs2cs" -f %.10f EPSG:2274 EPSG:4326
c_wall=$best_wall; c_cpu=$best_cpu
worst=$(worst_difference "$tmp/zenobar.txt" "$tmp/out")
echo "zenobar --batch --inverse --crs EPSG:2274 on $lines lines (best of 3): wall $z_wall s, CPU $z_cpu s;" \
     "cs2cs EPSG:2274 EPSG:4326: wall $c_wall s, CPU $c_cpu s; largest difference $worst degree;" \
     "target <= 3 s: wall $(verdict "$z_wall"), CPU $(verdict "$z_cpu")"
[ "$worst" != mismatch ] && awk -v w="$worst" 'BEGIN { exit !(w <= 1e-8) }'
