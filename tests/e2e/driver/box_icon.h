// Which standard icon a message box shows. Wine keeps icons per process, so
// the box's icon handle means nothing here: the icon is told by its pixels on
// the screen, against the standard icons drawn by the driver itself.
#pragma once

#include <windows.h>

#include <string>

namespace box_driver {

// "error", "information", "warning", "question", "none" (the box has no icon)
// or "unknown" (drawn, but none of the four).
std::string IdentifyBoxIcon(HWND box);

}  // namespace box_driver
