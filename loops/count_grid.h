#pragma once

#include "loops/count_field.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVector>

class MainWindow;
class QAction;
class QWidget;

// Keyboard use of the "Calculation" tab: the Tab order from the panel box through the cable
// boxes and the count grid to "Calculate", the arrow keys in the grid, block paste with its undo,
// and "Copy counts".
class CountGrid : public QObject, public CountFieldHost {
public:
    explicit CountGrid(MainWindow *window);

    // Tab and Shift+Tab on these widgets follow the order above.
    void routeTabKeys(QWidget *widget);

    // The widget after (or before) `from` in the order; nullptr past either end, where Qt's own
    // order goes on.
    QWidget *tabNeighbour(QWidget *from, bool next) const;

    // The clipboard's text as a block into the grid from (row, loop); false, with one "Warning"
    // box, when nothing was written.
    bool pasteText(const QString &text, int row, int loop);

    // The whole grid, with device names and loop headers, as a spreadsheet takes it.
    QString countsText() const;

    bool tabFrom(CountField *field, bool next) override;
    void stepFrom(CountField *field, int rows, int loops) override;
    void fieldFocused(CountField *field) override;
    void pasteInto(CountField *field) override;
    bool undoPaste() override;
    bool redoPaste() override;
    bool canUndoPaste() const override;
    bool canRedoPaste() const override;
    void fieldEdited() override;
    QAction *copyCountsAction() const override { return copyAction; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct PastedCell {
        int row;
        int loop;
        QPointer<QLineEdit> field;
        QString before;
        QString after;
    };
    // true when every pasted field is still in its cell and shows `shown` of each cell.
    bool pasteStands(bool afterPaste) const;
    void writePaste(bool afterPaste);

    int gridRows() const;
    int gridLoops() const;
    bool locate(const QWidget *field, int &row, int &loop) const;
    QWidget *firstField() const;
    QWidget *lastField() const;
    QWidget *lastCableBox() const;
    void focusField(int row, int loop, Qt::FocusReason reason);
    void moveFocus(QWidget *to, Qt::FocusReason reason);
    void warn(const QString &text);

    MainWindow *window;
    QAction *copyAction;
    QVector<PastedCell> lastPaste;
    bool pasteUndone = false;
};
