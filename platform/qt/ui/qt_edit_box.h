#pragma once
// The user's changes to an edit box (a QLineEdit that renders the model's EditBox), each
// routed through the model as the Windows edit control routes it:
// - typed characters, from keys and from input-method commits (dead keys, compose
//   sequences, an input method's text) alike, go to the window's key handler one code at
//   a time (EditBox::onKeyPress) and enter what it lets through. Ctrl+letter is its control
//   code (Ctrl+V is 22), as on Windows, where the key handler sees it before the box does.
// - the context menu (Cut, Copy, Paste, Delete, Select All) edits without the key handler,
//   as the edit menu does on Windows, within the model's maximum length (EditBox::userPaste).
// - Delete removes the selection or the character after the caret, also without the key
//   handler (on Windows it is a key, not a character); Shift+Delete cuts the selection.
// Closed, because they would change the text around the key handler and have no
// counterpart in the Windows box: the middle-button paste of the primary selection,
// Shift+Insert, dropped text, and Qt's own undo and context menu. Undo is not offered: the
// model keeps no edit history, and the text that the program writes into the box (loadhkey)
// would have to end one kept by the widget.
// Not supported: characters outside the Basic Multilingual Plane, which do not fit the
// 16-bit character code the key handler takes; they enter nothing.
#include <QObject>
#include <functional>
#include <string>

class QContextMenuEvent;
class QInputMethodEvent;
class QKeyEvent;
class QLineEdit;
class QPoint;
class QString;

namespace tolvane {

class EditBox;

class EditBoxInput : public QObject {
public:
    // box: the model's edit box while the window is loaded, null afterwards.
    EditBoxInput(QLineEdit* edit, std::function<EditBox*()> box);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPress(EditBox& box, QKeyEvent* key);
    void inputMethod(EditBox& box, QInputMethodEvent* event);
    void contextMenu(const QPoint& where);
    // One character code, through the key handler, at the caret or over the selection.
    void type(EditBox& box, int code);
    // Text put in place of the selection (or at the caret) without the key handler, as much
    // of it as the maximum length leaves room for.
    void insertText(EditBox& box, const QString& text);
    // The selection replaced by a text no longer than it (nothing, for Cut and Delete).
    void replaceSelection(EditBox& box, const QString& with);
    // A shortened text, with the caret where the change was.
    void setText(EditBox& box, const QString& text, int caret);

    QLineEdit* edit_;
    std::function<EditBox*()> box_;
};

}  // namespace tolvane
