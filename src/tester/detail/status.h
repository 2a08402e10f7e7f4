#pragma once

#include "platform/status_line.h"

// The "TSockets" panel, which the connect tests and the verify keep in turn (never both at once).
inline void showActiveTests(StatusLine &status, int active)
{
    status.setText(QStringLiteral("TSockets"), QStringLiteral("Active Test Sockets: %1").arg(active));
}
