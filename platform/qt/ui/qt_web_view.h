#pragma once
// The web panel: a QTextBrowser that fetches its pages itself (QNetworkAccessManager) and
// shows their HTML and links. A newer navigation replaces one still under way; a fetch that
// hears nothing for 15 seconds gives up. A page that cannot be fetched, or that the server
// answers with an error, is replaced by a short text that names its address and the reason.
// A link to an anchor of the page scrolls there; any other link is fetched in the panel.
//
// Not supported, on purpose: scripts and plug-ins, and every scheme but http and https
// (such a link or navigation does nothing).
#include <QObject>

class QNetworkAccessManager;
class QTextBrowser;
class QUrl;
class QWidget;

namespace tolvane {

class QtWebView : public QObject {
public:
    // A panel in `parent` that follows its links itself.
    QTextBrowser* create(QWidget* parent);
    // Fetches `url` into `view`, when it is an http(s) address.
    void load(QTextBrowser* view, const QUrl& url);

private:
    QNetworkAccessManager* network_ = nullptr;  // made on the first fetch
};

}  // namespace tolvane
