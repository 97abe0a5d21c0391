#include "loops/count_field.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include "loops/count_block.h"
#include "loops/loop_indexes.h"

namespace {

bool isDigitKey(const QKeyEvent *event)
{
    const QString text = event->text();
    return text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9')
           && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

}  // namespace

// Nothing is connected to a field: the grid reads the fields when it needs them, and a pooled
// field must reach nothing.
CountField::CountField(CountFieldHost *host, QWidget *parent) : QLineEdit(parent), host(host) {}

void CountField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    switch (event->reason()) {
    case Qt::MouseFocusReason:
        selectOnPress = true;
        break;
    case Qt::ActiveWindowFocusReason:
    case Qt::PopupFocusReason:
        // Back from another window or a menu: the field is as the user left it.
        break;
    default:
        selectAll();
        break;
    }
    if (host)
        host->fieldFocused(this);
}

void CountField::mousePressEvent(QMouseEvent *event)
{
    const bool select = selectOnPress && event->button() == Qt::LeftButton;
    selectOnPress = false;
    QLineEdit::mousePressEvent(event);
    if (select)
        selectAll();
}

void CountField::keyPressEvent(QKeyEvent *event)
{
    if (host) {
        if (event->matches(QKeySequence::Paste)) {
            host->pasteInto(this);
            event->accept();
            return;
        }
        if ((event->matches(QKeySequence::Undo) && host->undoPaste())
            || (event->matches(QKeySequence::Redo) && host->redoPaste())) {
            event->accept();
            return;
        }
        if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            const bool leftToRight = layoutDirection() == Qt::LeftToRight;
            const bool atStart = !hasSelectedText() && cursorPosition() == 0;
            const bool atEnd = !hasSelectedText() && cursorPosition() == text().size();
            int rows = 0, loops = 0;
            switch (event->key()) {
            case Qt::Key_Up:
                rows = -1;
                break;
            case Qt::Key_Down:
                rows = 1;
                break;
            case Qt::Key_Left:
                loops = leftToRight && atStart ? -1 : 0;
                break;
            case Qt::Key_Right:
                loops = leftToRight && atEnd ? 1 : 0;
                break;
            default:
                break;
            }
            if (rows != 0 || loops != 0) {
                host->stepFrom(this, rows, loops);
                event->accept();
                return;
            }
        }
    }
    // As in a spreadsheet cell: "0" then "5" gives 5, wherever the cursor stood.
    if (isDigitKey(event) && text() == QLatin1String("0") && !hasSelectedText())
        selectAll();
    const QString before = text();
    QLineEdit::keyPressEvent(event);
    if (host && text() != before)
        host->fieldEdited();
}

void CountField::contextMenuEvent(QContextMenuEvent *event)
{
    // The line edit's own menu, with Undo, Redo and Paste going through the grid.
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *undoAction = menu->addAction(tr("&Undo"), this, [this] {
        if (!host || !host->undoPaste())
            undo();
    });
    undoAction->setShortcut(QKeySequence::Undo);
    undoAction->setEnabled(isUndoAvailable() || (host && host->canUndoPaste()));
    QAction *redoAction = menu->addAction(tr("&Redo"), this, [this] {
        if (!host || !host->redoPaste())
            redo();
    });
    redoAction->setShortcut(QKeySequence::Redo);
    redoAction->setEnabled(isRedoAvailable() || (host && host->canRedoPaste()));
    menu->addSeparator();
    QAction *cutAction = menu->addAction(tr("Cu&t"), this, [this] {
        cut();
        if (host)
            host->fieldEdited();
    });
    cutAction->setShortcut(QKeySequence::Cut);
    cutAction->setEnabled(hasSelectedText());
    QAction *copyAction = menu->addAction(tr("&Copy"), this, &QLineEdit::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelectedText());
    QAction *pasteAction = menu->addAction(tr("&Paste"), this, [this] {
        if (host)
            host->pasteInto(this);
        else
            paste();
    });
    pasteAction->setShortcut(QKeySequence::Paste);
    pasteAction->setEnabled(!QGuiApplication::clipboard()->text().isEmpty());
    QAction *deleteAction = menu->addAction(tr("Delete"), this, [this] {
        del();
        if (host)
            host->fieldEdited();
    });
    deleteAction->setEnabled(hasSelectedText());
    menu->addSeparator();
    QAction *selectAllAction = menu->addAction(tr("Select All"), this, &QLineEdit::selectAll);
    selectAllAction->setShortcut(QKeySequence::SelectAll);
    selectAllAction->setEnabled(!text().isEmpty());
    if (host && host->copyCountsAction()) {
        menu->addSeparator();
        menu->addAction(host->copyCountsAction());
    }
    menu->popup(event->globalPos());
}

bool CountField::focusNextPrevChild(bool next)
{
    if (host && host->tabFrom(this, next))
        return true;
    return QLineEdit::focusNextPrevChild(next);
}

DeviceCountValidator::DeviceCountValidator(QObject *parent) : QRegExpValidator(parent)
{
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    setRegExp(QRegExp(deviceCountPattern));
#pragma GCC diagnostic pop
}

QValidator::State DeviceCountValidator::validate(QString &input, int &pos) const
{
    normaliseCountInput(input, pos);
    return QRegExpValidator::validate(input, pos);
}
