#include "platform/qt/ui/pictures.h"

// The XPM sources are C arrays; they are compiled in, so the program needs no files
// of its own beside it to show its icon.
#include "resources/hand.xpm"
#include "resources/tolvane.xpm"
#include "resources/tray_face.xpm"

namespace tolvane {

namespace {
enum : uint32_t { kNone = 0, kTolvane = 1, kTrayFace = 2, kHand = 3 };
constexpr int kHandHotspotX = 9, kHandHotspotY = 0;  // noted in hand.xpm
}  // namespace

uint32_t QtPictures::handle(const std::string& name)
{
    if (name == "tolvane") return kTolvane;
    if (name == "tray_face") return kTrayFace;
    if (name == "hand") return kHand;
    return kNone;
}

QPixmap QtPictures::pixmap(uint32_t handle)
{
    switch (handle) {
        case kTolvane:
            return QPixmap(tolvane_xpm);
        case kTrayFace:
            return QPixmap(tray_face_xpm);
        case kHand:
            return QPixmap(hand_xpm);
        default:
            return QPixmap();
    }
}

QIcon QtPictures::icon(uint32_t handle)
{
    const QPixmap picture = pixmap(handle);
    return picture.isNull() ? QIcon() : QIcon(picture);
}

QCursor QtPictures::handCursor()
{
    return QCursor(pixmap(kHand), kHandHotspotX, kHandHotspotY);
}

}  // namespace tolvane
