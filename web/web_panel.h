#pragma once
// The information panel and the two links to the maker's web site. The panel is sent to the
// information page once, at start-up; the links open the home page and the redirect page in
// the user's browser through "explorer.exe".
#include "platform/model/control.h"
#include "platform/services.h"

namespace tolvane {

class WebPanel {
public:
    // `panel` is the main window's WebBrowser1 and `link` its link label Label4.
    WebPanel(WebView& panel, Label& link, WebApi& web, LauncherApi& launcher)
        : panel_(panel), link_(link), web_(web), launcher_(launcher)
    {
    }

    // Start-up: the link label underlined, then the panel sent to the information page.
    void startWebPanel();
    void openHomePage();
    void openRedirectPage();

private:
    WebView& panel_;
    Label& link_;
    WebApi& web_;
    LauncherApi& launcher_;
};

}  // namespace tolvane
