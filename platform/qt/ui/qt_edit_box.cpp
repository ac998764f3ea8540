#include "platform/qt/ui/qt_edit_box.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <utility>

#include "platform/model/control.h"

namespace tolvane {

namespace {

std::string utf8Text(const QString& text)
{
    return text.toUtf8().toStdString();
}

// Characters, not UTF-16 units: the model's maximum length counts characters.
int characters(const QString& text)
{
    return static_cast<int>(text.toUcs4().size());
}

QString firstCharacters(const QString& text, int count)
{
    int end = 0;
    for (int n = 0; n < count && end < text.size(); ++n)
        end += text.at(end).isHighSurrogate() && end + 1 < text.size() ? 2 : 1;
    return text.left(end);
}

// The control code of Ctrl+letter (Ctrl+A is 1, Ctrl+V is 22), when the platform gives no text.
int controlCode(const QKeyEvent* key)
{
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
    if (mods != Qt::ControlModifier || key->key() < Qt::Key_A || key->key() > Qt::Key_Z) return 0;
    return key->key() - Qt::Key_A + 1;
}

}  // namespace

EditBoxInput::EditBoxInput(QLineEdit* edit, std::function<EditBox*()> box)
    : QObject(edit), edit_(edit), box_(std::move(box))
{
    edit_->setDragEnabled(false);
    edit_->setAcceptDrops(false);
    edit_->installEventFilter(this);
}

bool EditBoxInput::eventFilter(QObject*, QEvent* event)
{
    EditBox* box = box_();
    if (!box) return false;
    switch (event->type()) {
        case QEvent::KeyPress:
            return keyPress(*box, static_cast<QKeyEvent*>(event));
        case QEvent::InputMethod:
            inputMethod(*box, static_cast<QInputMethodEvent*>(event));
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            // The middle button pastes the primary selection in a QLineEdit: closed.
            return static_cast<QMouseEvent*>(event)->button() == Qt::MiddleButton;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            event->ignore();
            return true;
        case QEvent::ContextMenu:
            contextMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        default:
            return false;
    }
}

bool EditBoxInput::keyPress(EditBox& box, QKeyEvent* key)
{
    // Selecting and copying change nothing: the box does them itself.
    if (key->matches(QKeySequence::Copy) || key->matches(QKeySequence::SelectAll)) return false;
    switch (key->key()) {
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Shift:
        case Qt::Key_Control:
        case Qt::Key_Alt:
        case Qt::Key_Meta:
        case Qt::Key_AltGr:
        case Qt::Key_CapsLock:
        case Qt::Key_NumLock:
        case Qt::Key_Menu:  // not taken, so that Qt asks for the context menu
            return false;
        case Qt::Key_Backspace:
            type(box, 8);
            return true;
        case Qt::Key_Delete: {
            if (edit_->hasSelectedText()) {
                // Shift+Delete cuts, as on Windows.
                if (key->modifiers() & Qt::ShiftModifier) QGuiApplication::clipboard()->setText(edit_->selectedText());
                replaceSelection(box, QString());
            } else if (edit_->cursorPosition() < edit_->text().size()) {
                const int caret = edit_->cursorPosition();
                QString rest = edit_->text();
                rest.remove(caret, rest.at(caret).isHighSurrogate() ? 2 : 1);
                setText(box, rest, caret);
            }
            return true;
        }
        case Qt::Key_Return:
        case Qt::Key_Enter:
            type(box, 13);
            return true;
        case Qt::Key_Escape:
            type(box, 27);
            return true;
        default:
            break;
    }
    const QList<uint> codes = key->text().toUcs4();
    if (codes.isEmpty()) {
        if (const int code = controlCode(key)) type(box, code);
    }
    for (const uint code : codes)
        if (code <= 0xFFFF) type(box, static_cast<int>(code));
    // Every other key is the box's to refuse: nothing around the key handler.
    return true;
}

void EditBoxInput::inputMethod(EditBox& box, QInputMethodEvent* event)
{
    // A composed character (a dead key and a letter, an input method's text) is typed,
    // one character after the other; the text still being composed is not shown.
    for (const uint code : event->commitString().toUcs4())
        if (code <= 0xFFFF) type(box, static_cast<int>(code));
}

void EditBoxInput::type(EditBox& box, int code)
{
    const bool selected = edit_->hasSelectedText();
    if (!selected && edit_->cursorPosition() == edit_->text().size()) {
        box.userType(code);
        return;
    }
    // The key handler is asked once, as the box asks it, before anything changes.
    const int entered = box.onKeyPress ? box.onKeyPress(code) : code;
    if (entered == 0) return;
    QString text = edit_->text();
    int caret = edit_->cursorPosition();
    if (selected) {
        caret = edit_->selectionStart();
        text.remove(caret, edit_->selectedText().size());
    }
    if (entered == 8) {
        if (!selected && caret > 0) {
            const int width = caret >= 2 && text.at(caret - 1).isLowSurrogate() ? 2 : 1;
            text.remove(caret - width, width);
            caret -= width;
        }
        setText(box, text, caret);
        return;
    }
    // Other control characters enter nothing in a single-line box; a character past the
    // maximum length is refused and the selection stays.
    if (entered < 32) return;
    if (box.maxLength() > 0 && characters(text) >= box.maxLength()) return;
    const QString character = QString::fromUtf8(utf8(entered).c_str());
    text.insert(caret, character);
    box.userPaste(utf8Text(text));
    if (edit_->text() == text) edit_->setCursorPosition(caret + static_cast<int>(character.size()));
}

void EditBoxInput::insertText(EditBox& box, const QString& pasted)
{
    // A single-line box takes the first line.
    QString line = pasted.section(QRegularExpression("[\r\n]"), 0, 0);
    QString text = edit_->text();
    int caret = edit_->cursorPosition();
    if (edit_->hasSelectedText()) {
        caret = edit_->selectionStart();
        text.remove(caret, edit_->selectedText().size());
    }
    if (box.maxLength() > 0) line = firstCharacters(line, box.maxLength() - characters(text));
    if (line.isEmpty()) return;
    text.insert(caret, line);
    box.userPaste(utf8Text(text));
    if (edit_->text() == text) edit_->setCursorPosition(caret + static_cast<int>(line.size()));
}

void EditBoxInput::replaceSelection(EditBox& box, const QString& with)
{
    QString text = edit_->text();
    const int start = edit_->selectionStart();
    text.replace(start, edit_->selectedText().size(), with);
    setText(box, text, start + static_cast<int>(with.size()));
}

// A text that is only shorter than before: the maximum length has nothing to refuse, and a
// longer text that the program put there (a key read from the settings) is not cut.
void EditBoxInput::setText(EditBox& box, const QString& text, int caret)
{
    box.setText(utf8Text(text));
    if (edit_->text() == text) edit_->setCursorPosition(caret);
}

void EditBoxInput::contextMenu(const QPoint& where)
{
    auto* menu = new QMenu(edit_);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const bool selected = edit_->hasSelectedText();
    const auto add = [&](const QString& caption, bool enabled, std::function<void(EditBox&)> act) {
        QAction* action = menu->addAction(caption);
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, [this, act = std::move(act)] {
            if (EditBox* box = box_()) act(*box);
        });
    };
    QClipboard* clipboard = QGuiApplication::clipboard();
    add(QStringLiteral("Cu&t"), selected, [this, clipboard](EditBox& box) {
        clipboard->setText(edit_->selectedText());
        replaceSelection(box, QString());
    });
    add(QStringLiteral("&Copy"), selected, [this, clipboard](EditBox&) { clipboard->setText(edit_->selectedText()); });
    add(QStringLiteral("&Paste"), !clipboard->text().isEmpty(),
        [this, clipboard](EditBox& box) { insertText(box, clipboard->text()); });
    add(QStringLiteral("&Delete"), selected, [this](EditBox& box) { replaceSelection(box, QString()); });
    menu->addSeparator();
    add(QStringLiteral("Select &All"), !edit_->text().isEmpty() && edit_->selectedText() != edit_->text(),
        [this](EditBox&) { edit_->selectAll(); });
    // Not exec(): the program's timers and the hotkey monitor go on while the menu is open.
    menu->popup(where);
}

}  // namespace tolvane
