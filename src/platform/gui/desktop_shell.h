#pragma once

#include "platform/shell.h"

// Opens targets through QDesktopServices: web addresses in the browser, local files with the
// program the desktop associates with them.
class DesktopShell final : public Shell
{
public:
    void open(const QString &target) override;
};
