// SPDX-License-Identifier: GPL-3.0-or-later
// The two insertion options the main program's UTM conversion reads. The
// options dialog owns these values: it sets CurrentUtmOptions() whenever it
// applies or loads its settings. Standard library only.
#pragma once

struct UtmOptions {
    // 0: each point gets its own zone; otherwise that zone for every point
    // (16-bit signed range, -32768..32767).
    int intZone = 0;
    // true: metres; false: feet (3.28083 feet per metre).
    bool blnMetric = false;
};

// The options in force for the main program. The reference stays valid for the
// life of the program; only the user-interface thread reads or writes it.
UtmOptions& CurrentUtmOptions();
