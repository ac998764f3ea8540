#include "web/web_panel.h"

#include "web/web_address.h"

namespace tolvane {

void WebPanel::startWebPanel()
{
    link_.setFontUnderline(true);
    web_.Navigate(panel_, infoPageAddress());
}

void WebPanel::openHomePage()
{
    launcher_.Shell("explorer.exe " + homePageAddress(), 2);
}

void WebPanel::openRedirectPage()
{
    launcher_.Shell("explorer.exe " + redirectPageAddress(), 2);
}

}  // namespace tolvane
