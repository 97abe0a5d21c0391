#pragma once

#include <QElapsedTimer>
#include <functional>
#include <QObject>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QList>
#include <QSet>

class CountFieldHost;
class QLineEdit;
class QTableWidget;
class QValidator;

// Count fields outlive panel changes: the fields of removed loop columns come back here instead
// of being deleted, and spare fields are made while the window sits idle, a slice of a few
// milliseconds at a time. Choosing a panel then only places fields that already exist.
//
// Spares wait hidden in the table's viewport, zero-sized, in no cell. Placing one in a cell then
// keeps its parent, which spares Qt most of a reparenting (events, style and palette inheritance),
// and a zero-sized field is shown without marking anything for repainting.
class CountFieldPool : public QObject {
public:
    // Fields are CountFields answering to host.
    CountFieldPool(QTableWidget *table, QValidator *validator, CountFieldHost *host = nullptr);

    // A field showing "0" with the shared validator: a spare when there is one, else a new one.
    QLineEdit *take();
    // Takes an untouched field back, hidden, to hand out again; a touched one is deleted. A field
    // of another origin is left alone (false).
    bool giveBack(QWidget *field);
    // True for a field that came from this pool, whether placed or spare.
    bool madeHere(const QWidget *widget) const;
    // True for a field waiting in the pool, outside the grid.
    bool isSpare(const QWidget *widget) const { return spareSet.contains(widget); }

    // Called with a field whenever its text changes, by typing or by setText, wherever it is.
    void setChangeHandler(std::function<void(const QLineEdit *)> handler) { changeHandler = std::move(handler); }

    // Makes spares in idle time until `count` are ready.
    void keepSpares(int count);
    int spareCount() const { return spares.size(); }

    // True while a field is just as a new one showing "0": no edit, selection or undo step.
    static bool isUntouched(const QLineEdit *field);
    // As isUntouched, but a selection and the cursor do not count.
    static bool showsFreshZero(const QLineEdit *field);

    // Gives the fields of cells that scrolling brought into sight their rectangles: the table's
    // layout leaves fields of cells out of sight without a size.
    void placeFieldsInView();

private:
    QLineEdit *makeField() const;
    void makeSlice();
    void park(QLineEdit *field);

    QTableWidget *table;
    QValidator *validator;
    CountFieldHost *host;
    QList<QLineEdit *> spares;
    QSet<const QWidget *> spareSet;
    int wantedSpares = 0;
    std::function<void(const QLineEdit *)> changeHandler;
    QTimer idleSlices;
};

// The "Number of Device" table's delegate: a count field that the table lets go (its column was
// removed) goes back to the pool instead of being deleted.
class CountFieldDelegate : public QStyledItemDelegate {
public:
    CountFieldDelegate(CountFieldPool *pool, QObject *parent);
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;
    // Gives a pooled field in an empty cell the rectangle the base class would, asking the style
    // once per cell size instead of once per field: a layout places up to 1,760 fields. A field
    // whose cell is out of sight is left without a size instead.
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
    // Off: every field's rectangle comes from the style, in sight or not, as in the base class.
    void setGeometryReuse(bool on) { reuseGeometry = on; }

private:
    // Everything of a cell's options that the style's text rectangle can depend on.
    struct CellShape {
        // Guarded: a style made after this one was deleted may sit at the same address.
        QPointer<QStyle> style;
        QStyleOptionViewItem option;
    };
    static bool sameShape(const CellShape &shape, const QStyle *style, const QStyleOptionViewItem &option);

    CountFieldPool *pool;
    bool reuseGeometry = true;
    mutable bool haveShape = false;
    mutable CellShape lastShape;
    // The field's rectangle relative to the cell's top left corner, for lastShape.
    mutable QRect lastGeometry;
};
