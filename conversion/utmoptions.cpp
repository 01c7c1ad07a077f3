// SPDX-License-Identifier: GPL-3.0-or-later
#include "conversion/utmoptions.h"

UtmOptions& CurrentUtmOptions() {
    static UtmOptions options;
    return options;
}
