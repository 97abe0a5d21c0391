#pragma once

#include <QLineEdit>
#include <QRegExpValidator>

class CountField;
class QAction;

// What a count field asks of the grid it sits in.
class CountFieldHost {
public:
    // Tab and Shift+Tab: moves the focus to the next or previous stop; false leaves it to Qt.
    virtual bool tabFrom(CountField *field, bool next) = 0;
    // Arrow keys: the field one row or one loop further, if there is one.
    virtual void stepFrom(CountField *field, int rows, int loops) = 0;
    // The table's current cell follows the focus, so that the view's own keys start from it.
    virtual void fieldFocused(CountField *field) = 0;
    // The clipboard's text, as a block from this field on.
    virtual void pasteInto(CountField *field) = 0;
    // The last paste as one step; false when there is none, so that the field undoes its own typing.
    virtual bool undoPaste() = 0;
    virtual bool redoPaste() = 0;
    virtual bool canUndoPaste() const = 0;
    virtual bool canRedoPaste() const = 0;
    // Typing since the last paste: undo then goes field by field.
    virtual void fieldEdited() = 0;
    // "Copy counts", for the field's context menu.
    virtual QAction *copyCountsAction() const = 0;

protected:
    ~CountFieldHost() = default;
};

// A cell of the "Number of Device" grid that behaves like a spreadsheet cell: the focus selects its
// text, a digit typed over a lone "0" replaces it, Ctrl+V pastes a block into the grid.
class CountField : public QLineEdit {
    Q_OBJECT

public:
    CountField(CountFieldHost *host, QWidget *parent);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    CountFieldHost *host;
    // Focus came with a mouse press: select the text once that press has placed the cursor.
    bool selectOnPress = false;
};

// Accepts the whole numbers 0 to 999 (deviceCountPattern); blanks and leading zeros are dropped
// from what is typed or pasted instead of refusing it.
class DeviceCountValidator : public QRegExpValidator {
public:
    explicit DeviceCountValidator(QObject *parent);
    State validate(QString &input, int &pos) const override;
};
