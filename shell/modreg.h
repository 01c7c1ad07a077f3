// SPDX-License-Identifier: GPL-3.0-or-later
// Registry lookups of the registered CAD application.
#pragma once

// True when a supported CAD version is registered, so the AutoCAD menu is enabled.
bool AcadMenuEnabledAtStartUp();
