#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the simulator's sample receiver memory (support/Data/sample-receiver.txt):
# 300 waypoints and a 3,000-point track log around Franklin, Tennessee.
# Deterministic: the same file every run.
import math
import random
import sys

rng = random.Random(20240611)

def ddmm(value, deg_digits):
    a = abs(value)
    d = int(a)
    m = round((a - d) * 60, 3)
    if m >= 60:
        d, m = d + 1, 0.0
    return f"{d:0{deg_digits}d}{m:06.3f}"

PLACES = ["HOME", "CAMP", "TRLHD", "SPRING", "BRIDGE", "CACHE", "FORD", "RIDGE", "SUMMIT", "CAVE",
          "LOOKOUT", "BARN", "GATE", "CHURCH", "MILL", "DAM", "BLUFF", "HOLLOW", "KNOB", "GAP"]
MESSAGES = ["", "", "parking", "water, seasonal", "trail junction", "Old mill site",
            "Civil War marker", "creek crossing, rocks", "fire tower", "picnic area",
            "views to the west", "cemetery", "store, fuel", "put-in for canoes", "spring box"]
ICONS = [chr(c) for c in range(ord("a"), ord("z") + 1)] + ["aa", "ab", "ac", "ah", "ap"]

out = sys.stdout if len(sys.argv) < 2 else open(sys.argv[1], "w", newline="\n")
out.write("# Sample memory of a Magellan receiver for magellan-sim.\n")
out.write("# W|lat|N/S|lon|E/W|altitude|unit|name|message|icon\n")
out.write("# T|lat|N/S|lon|E/W|altitude|unit|hhmmss.ss|track|ddmmyy\n")

base_lat, base_lon = 35.824983, -86.847117
used = set()
for i in range(300):
    lat = base_lat + rng.uniform(-0.6, 0.6)
    lon = base_lon + rng.uniform(-0.8, 0.8)
    if i == 0:
        lat, lon, name, msg, icon, alt = 35.824983333, -86.847116667, "HOME", "HOME", "c", 257
    else:
        while True:
            name = f"{rng.choice(PLACES)}{rng.randint(1, 99)}"[:8]
            if name not in used:
                break
        msg = rng.choice(MESSAGES)
        icon = rng.choice(ICONS)
        alt = rng.randint(120, 420)
    used.add(name)
    out.write(f"W|{ddmm(lat, 2)}|{'N' if lat >= 0 else 'S'}|{ddmm(lon, 3)}|{'E' if lon >= 0 else 'W'}|"
              f"{alt:07d}|M|{name}|{msg}|{icon}\n")

lat, lon, alt = base_lat, base_lon, 200.0
seconds = 13 * 3600 + 5 * 60
heading = rng.uniform(0, 2 * math.pi)
for i in range(3000):
    track = "" if i < 2000 else "RIVER"
    heading += rng.uniform(-0.3, 0.3)
    lat += 0.00012 * math.cos(heading)
    lon += 0.00015 * math.sin(heading)
    alt = min(450.0, max(110.0, alt + rng.uniform(-2, 2)))
    seconds += 5
    day = 14 + seconds // 86400
    s = seconds % 86400
    time = f"{s // 3600:02d}{(s // 60) % 60:02d}{s % 60:02d}.{rng.randint(0, 99):02d}"
    out.write(f"T|{ddmm(lat, 2)}|N|{ddmm(lon, 3)}|W|{int(alt):05d}|M|{time}|{track}|{day:02d}0602\n")
