#include "loops/count_field_pool.h"

#include <QLineEdit>
#include <QTableWidget>
#include <QValidator>

namespace {
// Longest stretch of idle-time field making before input is served again.
constexpr qint64 kSliceNanoseconds = 2'000'000;
}  // namespace

CountFieldPool::CountFieldPool(QTableWidget *table, QValidator *validator)
    : QObject(table), table(table), shelf(new QWidget(table)), validator(validator)
{
    shelf->hide();
    // Zero interval: a slice runs whenever the event loop has nothing else to do.
    idleSlices.setInterval(0);
    connect(&idleSlices, &QTimer::timeout, this, &CountFieldPool::makeSlice);
}

QLineEdit *CountFieldPool::makeField(QWidget *parent) const
{
    auto *field = new QLineEdit(parent);
    field->setValidator(validator);
    field->setText(QStringLiteral("0"));
    return field;
}

QLineEdit *CountFieldPool::take()
{
    if (spares.isEmpty())
        return makeField(table->viewport());
    QLineEdit *field = spares.takeFirst();
    // Written to while on the shelf, through a pointer kept from the grid. Reset rather than
    // deleted: a hidden table may still list it as the widget of a removed cell until its next
    // layout, and would then touch a deleted widget. setText also clears undo and selection.
    if (!isUntouched(field))
        field->setText(QStringLiteral("0"));
    return field;
}

bool CountFieldPool::madeHere(const QWidget *widget) const
{
    const auto *field = qobject_cast<const QLineEdit *>(widget);
    return field && validator && field->validator() == validator;
}

bool CountFieldPool::giveBack(QWidget *widget)
{
    if (!madeHere(widget))
        return false;
    auto *field = static_cast<QLineEdit *>(widget);
    // Already on the shelf: the table may report a field twice (removal and relayout).
    if (field->parentWidget() == shelf)
        return true;
    // Only the table calls this for a touched field, having already forgotten it: deleted, as a
    // new field carries nothing of the old entry (undo history, selection, input state).
    if (!isUntouched(field)) {
        field->hide();
        field->deleteLater();
        return true;
    }
    field->hide();
    field->setParent(shelf);
    spares.append(field);
    return true;
}

bool CountFieldPool::isUntouched(const QLineEdit *field)
{
    return field->text() == QLatin1String("0") && !field->isModified() && !field->isUndoAvailable()
           && !field->isRedoAvailable() && !field->hasSelectedText() && field->cursorPosition() == 1;
}

void CountFieldPool::keepSpares(int count)
{
    wantedSpares = count;
    if (spares.size() < wantedSpares && !idleSlices.isActive())
        idleSlices.start();
}

void CountFieldPool::makeSlice()
{
    QElapsedTimer slice;
    slice.start();
    while (spares.size() < wantedSpares && slice.nsecsElapsed() < kSliceNanoseconds) {
        QLineEdit *field = makeField(shelf);
        // Polished now rather than on its first show, which happens while the user waits.
        field->ensurePolished();
        spares.append(field);
    }
    if (spares.size() >= wantedSpares)
        idleSlices.stop();
}

CountFieldDelegate::CountFieldDelegate(CountFieldPool *pool, QObject *parent)
    : QStyledItemDelegate(parent), pool(pool)
{
}

void CountFieldDelegate::destroyEditor(QWidget *editor, const QModelIndex &index) const
{
    if (!pool->giveBack(editor))
        QStyledItemDelegate::destroyEditor(editor, index);
}
