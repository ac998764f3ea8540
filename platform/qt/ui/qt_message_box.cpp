#include "platform/qt/ui/qt_message_box.h"

#include <QMessageBox>

#include "platform/qt/ui/pictures.h"

namespace tolvane {

void showMessageBox(const std::string& title, const std::string& text)
{
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromStdString(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(QMessageBox::NoIcon);
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowIcon(QtPictures::icon("tolvane"));
    box.exec();
}

}  // namespace tolvane
