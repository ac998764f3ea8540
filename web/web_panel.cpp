// The information panel and the two links to the maker's web site.
#include "app/form1.h"
#include "web/web_address.h"

namespace tolvane {

void Form1::startWebPanel()
{
    Label4.setFontUnderline(true);
    platform.web.Navigate(WebBrowser1, infoPageAddress());
}

void Form1::Command4_Click() { platform.launcher.Shell("explorer.exe " + homePageAddress(), 2); }

void Form1::Label4_Click() { platform.launcher.Shell("explorer.exe " + redirectPageAddress(), 2); }

}  // namespace tolvane
