#include "platform/qt/ui/qt_web_view.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

namespace tolvane {

QTextBrowser* QtWebView::create(QWidget* parent)
{
    auto* view = new QTextBrowser(parent);
    view->setOpenLinks(false);
    view->setOpenExternalLinks(false);
    view->setFrameShape(QFrame::NoFrame);
    connect(view, &QTextBrowser::anchorClicked, this, [this, view](const QUrl& link) {
        if (link.isRelative() && link.hasFragment() && link.path().isEmpty()) {
            view->scrollToAnchor(link.fragment());
            return;
        }
        load(view, view->document()->baseUrl().resolved(link));
    });
    return view;
}

void QtWebView::load(QTextBrowser* view, const QUrl& url)
{
    if (url.scheme() != "http" && url.scheme() != "https") return;
    if (!network_) network_ = new QNetworkAccessManager(this);
    // A newer navigation replaces one still under way.
    if (auto* previous = view->property("tolvaneReply").value<QNetworkReply*>()) previous->abort();
    QNetworkRequest request(url);
    request.setTransferTimeout(15000);
    QNetworkReply* reply = network_->get(request);
    view->setProperty("tolvaneReply", QVariant::fromValue(reply));
    QPointer<QTextBrowser> target(view);
    connect(reply, &QNetworkReply::finished, this, [reply, target, url] {
        reply->deleteLater();
        if (!target) return;
        if (target->property("tolvaneReply").value<QNetworkReply*>() == reply)
            target->setProperty("tolvaneReply", QVariant());
        if (reply->error() == QNetworkReply::OperationCanceledError) return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        target->document()->setBaseUrl(reply->url());
        if (reply->error() != QNetworkReply::NoError || status >= 400) {
            target->setHtml(QStringLiteral("<p><b>The page cannot be shown.</b></p><p>%1</p><p>%2</p>")
                                .arg(url.toString().toHtmlEscaped(), reply->errorString().toHtmlEscaped()));
            return;
        }
        target->setHtml(QString::fromUtf8(reply->readAll()));
    });
}

}  // namespace tolvane
