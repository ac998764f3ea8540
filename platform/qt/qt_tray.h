#pragma once
// The notification area through QSystemTrayIcon.
//
// Keeps one QSystemTrayIcon per (window, uID) as the add, modify and delete requests of
// the 88-byte record ask, and delivers clicks on an icon to the handler of the record's
// window as the shell's callback (message uCallbackMessage, the mouse message in lParam):
// a left click as 513 then 514, a right click as 516 then 517, a double click as 515.
// Qt reports a click only once it is complete, so the press and the release arrive
// together; the middle button is not reported by Qt's tray and so sends nothing.
// Where there is no notification area (isSystemTrayAvailable() false) the icons are
// still kept and appear if one comes up later.
#include <QSystemTrayIcon>
#include <functional>
#include <map>
#include <utility>

#include "platform/services.h"

namespace tolvane {

class QtTray : public ShellApi {
public:
    QtTray() = default;
    ~QtTray() override;
    QtTray(const QtTray&) = delete;
    QtTray& operator=(const QtTray&) = delete;

    bool Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record) override;
    uint32_t createMessageWindow(MessageHandler handler) override;
    void destroyMessageWindow(uint32_t hWnd) override;

    static bool available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

    // The icon kept for (hWnd, uID), or null.
    QSystemTrayIcon* icon(uint32_t hWnd, uint32_t uID) const;
    size_t iconCount() const { return icons_.size(); }
    // What a click on an icon delivers, as Qt reports it (the tray's own signal ends here).
    void activated(uint32_t hWnd, uint32_t uID, QSystemTrayIcon::ActivationReason reason);

private:
    struct Icon {
        QSystemTrayIcon* icon;
        uint32_t callbackMessage;
    };
    std::map<std::pair<uint32_t, uint32_t>, Icon> icons_;
    std::map<uint32_t, MessageHandler> handlers_;
    uint32_t nextWindow_ = 0x100;
};

}  // namespace tolvane
