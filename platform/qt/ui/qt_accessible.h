#pragma once
// The program's windows and controls as a screen reader meets them, through Qt's
// accessibility and, on Linux, its AT-SPI bridge. Roles, names, descriptions and the
// labels' actions are the model's (platform/model/accessibility.h); this file only puts
// them into Qt's terms.
//
// Supported: the windows as frame, dialog or alert; option buttons as radio buttons with
// their checked state; the drop-down lists named by their row (Qt's own combo box takes the
// selected item as its name on Linux), with their list as their child; labels as static text,
// status line or link, with the action their click does; the text of a status line and of an
// alert through the text interface, so that its changes travel as text events
// (announceTextChange). Push buttons, check boxes, edit boxes, the list box and the web panel
// keep Qt's own interfaces, with the model's name and description set on the widget.
//
// Not supported: Qt 6.4's AT-SPI bridge has no announcement event and drops
// QAccessible::Alert; a change of the status line reaches AT-SPI as object:text-changed and
// object:property-change:accessible-name events, and the warning window's appearance as
// object:state-changed:showing and window:activate of an alert.
#include <QString>

class QObject;
class QWidget;

namespace tolvane {

class QtWindows;

// Marks a widget as the rendering of a model window or control, before anything can ask
// for its accessible interface (Qt keeps the first one made for the widget's whole life).
void markAccessible(QWidget* widget, QtWindows& windows);
// Installs the factory of the interfaces above, once for the process.
void installAccessibleFactory();
// Tells the screen reader that the text the widget's interface reads changed.
void announceTextChange(QWidget* widget, const QString& before, const QString& after);

}  // namespace tolvane
