#pragma once
// portal_shortcuts.{h,cpp} has not moved yet and finds this header here; it goes when they
// move beside the other parts of their folder.
#include "platform/qt/bus/dbus_signal.h"
