// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/modreg.h"

bool AcadMenuEnabledAtStartUp() { return true; }
