#pragma once
// The program's pictures, drawn from the XPM text sources in resources/ that every
// backend shares: the program icon ("tolvane"), the tray control's face ("tray_face")
// and the hand pointer ("hand"). A picture handle is a small number that stands for one
// of them, so that the logic can pass pictures around without a toolkit type.
#include <QCursor>
#include <QIcon>
#include <QPixmap>
#include <cstdint>
#include <string>

namespace tolvane {

class QtPictures {
public:
    // 0 for a name that is no picture of the program.
    static uint32_t handle(const std::string& name);
    static QPixmap pixmap(uint32_t handle);
    static QIcon icon(uint32_t handle);
    static QIcon icon(const std::string& name) { return icon(handle(name)); }
    // The hand over the links, its hotspot at the tip of the raised finger.
    static QCursor handCursor();
};

}  // namespace tolvane
