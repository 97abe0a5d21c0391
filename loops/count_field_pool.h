#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QList>

class QLineEdit;
class QTableWidget;
class QValidator;

// Count fields outlive panel changes: the fields of removed loop columns come back here instead
// of being deleted, and spare fields are made while the window sits idle, a slice of a few
// milliseconds at a time. Choosing a panel then only places fields that already exist.
class CountFieldPool : public QObject {
public:
    // Spares are kept on a hidden shelf inside `table`, never in its viewport.
    CountFieldPool(QTableWidget *table, QValidator *validator);

    // A field showing "0" with the shared validator: a spare when there is one, else a new one.
    QLineEdit *take();
    // Takes an untouched field back, hidden, to hand out again; a touched one is deleted. A field
    // of another origin is left alone (false).
    bool giveBack(QWidget *field);
    // True for a field that came from this pool, whether placed or spare.
    bool madeHere(const QWidget *widget) const;

    // Makes spares in idle time until `count` are ready.
    void keepSpares(int count);
    int spareCount() const { return spares.size(); }

    // True while a field is just as a new one showing "0": no edit, selection or undo step.
    static bool isUntouched(const QLineEdit *field);

private:
    QLineEdit *makeField(QWidget *parent) const;
    void makeSlice();

    QTableWidget *table;
    QWidget *shelf;
    QValidator *validator;
    // Oldest first: a field leaves its parent's child list quickest from the front, and the
    // oldest spare is the shelf's first child.
    QList<QLineEdit *> spares;
    int wantedSpares = 0;
    QTimer idleSlices;
};

// The "Number of Device" table's delegate: a count field that the table lets go (its column was
// removed) goes back to the pool instead of being deleted.
class CountFieldDelegate : public QStyledItemDelegate {
public:
    CountFieldDelegate(CountFieldPool *pool, QObject *parent);
    void destroyEditor(QWidget *editor, const QModelIndex &index) const override;

private:
    CountFieldPool *pool;
};
