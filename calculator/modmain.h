// SPDX-License-Identifier: GPL-3.0-or-later
// Zenobar's start-up.
#pragma once
#include <memory>

class frmMain;

// Reads the unit choice ("Zenobar"/"Options"/"Metric", default "True"; any
// stored text other than "False" selects Meters), builds the window with that
// unit selected, puts the coordinate system kept on closing
// ("CoordinateSystem", default empty: UTM) into its box, chooses the direction
// kept ("Direction", "UTMToLatLong" for UTM -> Lat/Long, else Lat/Long -> UTM)
// and shows it. The caller owns the window; the program
// ends when it closes.
std::unique_ptr<frmMain> ZenobarStartUp();
