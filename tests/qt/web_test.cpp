// The information panel: the page loads into the panel, links stay in it, and a page
// that cannot be loaded gives the built-in one.
#include <QTcpServer>
#include <QTcpSocket>
#include <QTextBrowser>

#include "desktop_fixture.h"

namespace tolvane::test {
namespace {

// A tiny web server on the loopback: /a links to b, /b is a page, anything else is 404.
class PageServer {
public:
    PageServer()
    {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
    }
    QString address(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(server_.serverPort()).arg(path);
    }
    int requests = 0;

private:
    void answer(QTcpSocket* socket)
    {
        const QByteArray request = socket->readAll();
        if (!request.contains("\r\n\r\n")) return;
        ++requests;
        const QByteArray path = request.split(' ').value(1);
        QByteArray status = "200 OK", body;
        if (path == "/a")
            body = "<html><body><p>Page A</p><a href=\"b\">on</a></body></html>";
        else if (path == "/b")
            body = "<html><body><p>Page B</p></body></html>";
        else
            status = "404 Not Found", body = "<p>missing</p>";
        socket->write("HTTP/1.0 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
        socket->disconnectFromHost();
    }
    QTcpServer server_;
};

using WebPanel = DesktopTest;

TEST_F(WebPanel, APageThatCannotBeLoadedGivesTheBuiltInPage)
{
    auto* panel = widget<QTextBrowser>(form1().WebBrowser1);
    ASSERT_NE(panel, nullptr);
    windows().Navigate(form1().WebBrowser1, "http://127.0.0.1:1/info.php?n=tolv");
    ASSERT_TRUE(waitFor([&] { return panel->toPlainText().contains("cannot be shown"); }, 30000));
    EXPECT_TRUE(panel->toPlainText().contains("127.0.0.1:1"));
}

TEST_F(WebPanel, ThePageLoadsIntoThePanelAndItsLinksStayThere)
{
    PageServer server;
    auto* panel = widget<QTextBrowser>(form1().WebBrowser1);
    windows().Navigate(form1().WebBrowser1, server.address("/a").toStdString());
    ASSERT_TRUE(waitFor([&] { return panel->toPlainText().contains("Page A"); }, 20000));
    emit panel->anchorClicked(QUrl("b"));  // what a click on the link reports
    ASSERT_TRUE(waitFor([&] { return panel->toPlainText().contains("Page B"); }, 20000));
    EXPECT_EQ(panel->document()->baseUrl().toString(), server.address("/b"));

    // Other schemes are not followed from inside the panel.
    const int before = server.requests;
    emit panel->anchorClicked(QUrl("file:///etc/passwd"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(panel->toPlainText().contains("Page B"));
    EXPECT_EQ(server.requests, before);

    windows().Navigate(form1().WebBrowser1, server.address("/nothing").toStdString());
    ASSERT_TRUE(waitFor([&] { return panel->toPlainText().contains("cannot be shown"); }, 20000));
}

}  // namespace
}  // namespace tolvane::test
