#pragma once
// The notification area through QSystemTrayIcon.
//
// Keeps one QSystemTrayIcon per (window, uID) as the add, modify and delete requests of
// the 88-byte record ask, and delivers clicks on an icon to the handler of the record's
// window as the shell's callback (message uCallbackMessage, the mouse message in lParam):
// a left click as 513 then 514, a right click as 516 then 517, a double click as 515.
// Qt reports a click only once it is complete, so the press and the release arrive
// together; the middle button is not reported by Qt's tray and so sends nothing.
// Where there is no notification area yet, the icons are kept and made once one comes up
// (with a TrayHost: Qt settles on the kind of notification area with its first icon).
#include <QIcon>
#include <QString>
#include <QSystemTrayIcon>
#include <functional>
#include <map>
#include <utility>

#include "platform/services.h"

namespace tolvane {

class TrayHost;

class QtTray : public ShellApi {
public:
    QtTray() = default;
    ~QtTray() override;
    QtTray(const QtTray&) = delete;
    QtTray& operator=(const QtTray&) = delete;

    bool Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& record) override;
    uint32_t createMessageWindow(MessageHandler handler) override;
    void destroyMessageWindow(uint32_t hWnd) override;

    // The icons wait until the host says a notification area is there (none: they do not wait).
    void setHost(TrayHost* host) { host_ = host; }
    // Makes the icons that waited, once the host says they may be made.
    void hostChanged();

    // The icon kept for (hWnd, uID), or null (none, or still waiting for a notification area).
    QSystemTrayIcon* icon(uint32_t hWnd, uint32_t uID) const;
    // Icons kept, made or waiting.
    size_t iconCount() const { return icons_.size(); }
    // What a click on an icon delivers, as Qt reports it (the tray's own signal ends here).
    void activated(uint32_t hWnd, uint32_t uID, QSystemTrayIcon::ActivationReason reason);

private:
    struct Icon {
        QSystemTrayIcon* icon = nullptr;  // null while it waits
        uint32_t callbackMessage = 0;
        QIcon picture;
        QString tip;
    };
    void make(uint32_t hWnd, uint32_t uID, Icon& entry);

    std::map<std::pair<uint32_t, uint32_t>, Icon> icons_;
    std::map<uint32_t, MessageHandler> handlers_;
    uint32_t nextWindow_ = 0x100;
    TrayHost* host_ = nullptr;
};

}  // namespace tolvane
