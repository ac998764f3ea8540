#include "platform/qt/ui/qt_tray.h"

#include "platform/model/win_codes.h"
#include "platform/qt/ui/pictures.h"
#include "platform/qt/ui/tray_host.h"
#include "tray/notify_record.h"

namespace tolvane {

QtTray::~QtTray()
{
    for (auto& [key, entry] : icons_) delete entry.icon;
}

void QtTray::make(uint32_t hWnd, uint32_t uID, Icon& entry)
{
    if (host_) host_->iconsMade();
    entry.icon = new QSystemTrayIcon;
    entry.icon->setIcon(entry.picture);
    entry.icon->setToolTip(entry.tip);
    QObject::connect(entry.icon, &QSystemTrayIcon::activated, entry.icon,
                     [this, hWnd, uID](QSystemTrayIcon::ActivationReason reason) { activated(hWnd, uID, reason); });
    entry.icon->show();
}

void QtTray::hostChanged()
{
    if (host_ && !host_->mayMakeIcons()) return;
    for (auto& [key, entry] : icons_)
        if (!entry.icon) make(key.first, key.second, entry);
}

uint32_t QtTray::createMessageWindow(MessageHandler handler)
{
    const uint32_t hWnd = nextWindow_++;
    handlers_[hWnd] = std::move(handler);
    return hWnd;
}

void QtTray::destroyMessageWindow(uint32_t hWnd)
{
    handlers_.erase(hWnd);
}

QSystemTrayIcon* QtTray::icon(uint32_t hWnd, uint32_t uID) const
{
    auto it = icons_.find({hWnd, uID});
    return it == icons_.end() ? nullptr : it->second.icon;
}

bool QtTray::Shell_NotifyIcon(uint32_t message, const NotifyIconRecord& bytes)
{
    const NotifyRecord record = NotifyRecord::fromBytes(bytes);
    const std::pair<uint32_t, uint32_t> key{record.hWnd, record.uID};
    auto it = icons_.find(key);
    const auto apply = [&record](Icon& entry) {
        if (record.uFlags & kNifMessage) entry.callbackMessage = record.uCallbackMessage;
        if (record.uFlags & kNifIcon) entry.picture = QtPictures::icon(record.hIcon);
        if (record.uFlags & kNifTip) entry.tip = QString::fromLatin1(record.tipText().c_str());
        if (!entry.icon) return;
        if (record.uFlags & kNifIcon) entry.icon->setIcon(entry.picture);
        if (record.uFlags & kNifTip) entry.icon->setToolTip(entry.tip);
    };

    switch (message) {
        case kNimAdd: {
            if (it != icons_.end() || record.hWnd == 0) return false;
            Icon& entry = icons_[key];
            apply(entry);
            if (!host_ || host_->mayMakeIcons()) make(record.hWnd, record.uID, entry);
            return true;
        }
        case kNimModify:
            if (it == icons_.end()) return false;
            apply(it->second);
            return true;
        case kNimDelete:
            if (it == icons_.end()) return false;
            if (QSystemTrayIcon* icon = it->second.icon) {
                icon->hide();
                // The delete usually comes from the icon's own click: the icon goes once that is over.
                QObject::disconnect(icon, nullptr, nullptr, nullptr);
                icon->deleteLater();
            }
            icons_.erase(it);
            return true;
        default:
            return false;
    }
}

void QtTray::activated(uint32_t hWnd, uint32_t uID, QSystemTrayIcon::ActivationReason reason)
{
    auto entry = icons_.find({hWnd, uID});
    if (entry == icons_.end()) return;
    const uint32_t callback = entry->second.callbackMessage;
    std::vector<uint32_t> mouse;
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            mouse = {kWmLButtonDown, kWmLButtonUp};
            break;
        case QSystemTrayIcon::Context:
            mouse = {kWmRButtonDown, kWmRButtonUp};
            break;
        case QSystemTrayIcon::DoubleClick:
            mouse = {kWmLButtonDblClk};
            break;
        default:
            return;
    }
    for (uint32_t m : mouse) {
        // The handler may delete the icon or the window; each message finds them afresh.
        auto handler = handlers_.find(hWnd);
        if (handler == handlers_.end() || !handler->second) return;
        MessageHandler call = handler->second;
        call(callback, m);
    }
}

}  // namespace tolvane
