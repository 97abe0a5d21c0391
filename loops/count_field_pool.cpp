#include "loops/count_field_pool.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>
#include <QTableWidget>
#include <QValidator>

#include <utility>

#include "loops/count_field.h"

namespace {
// Longest stretch of idle-time field making before input is served again.
constexpr qint64 kSliceNanoseconds = 2'000'000;
}  // namespace

CountFieldPool::CountFieldPool(QTableWidget *table, QValidator *validator, CountFieldHost *host)
    : QObject(table), table(table), validator(validator), host(host)
{
    // Zero interval: a slice runs whenever the event loop has nothing else to do.
    idleSlices.setInterval(0);
    connect(&idleSlices, &QTimer::timeout, this, &CountFieldPool::makeSlice);
    // Connected after the table's own handlers, so that the cells have moved when this runs.
    connect(table->horizontalScrollBar(), &QScrollBar::valueChanged, this, &CountFieldPool::placeFieldsInView);
    connect(table->verticalScrollBar(), &QScrollBar::valueChanged, this, &CountFieldPool::placeFieldsInView);
}

void CountFieldPool::placeFieldsInView()
{
    const QRect visible = table->viewport()->rect();
    int firstRow = table->rowAt(visible.top());
    int lastRow = table->rowAt(visible.bottom());
    int firstColumn = table->columnAt(visible.left());
    int lastColumn = table->columnAt(visible.right());
    if (firstRow < 0 || firstColumn < 0)
        return;
    if (lastRow < 0)
        lastRow = table->rowCount() - 1;
    if (lastColumn < 0)
        lastColumn = table->columnCount() - 1;
    if (firstColumn > lastColumn)  // right to left
        std::swap(firstColumn, lastColumn);
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstColumn; c <= lastColumn; ++c) {
            const QWidget *field = table->cellWidget(r, c);
            if (field && madeHere(field) && field->size().isEmpty()) {
                // The table's own layout, so that every field is placed by the same rules.
                table->doItemsLayout();
                return;
            }
        }
    }
}

QLineEdit *CountFieldPool::makeField() const
{
    auto *field = new CountField(host, table->viewport());
    field->setValidator(validator);
    field->setText(QStringLiteral("0"));
    QObject::connect(field, &QLineEdit::textChanged, field, [this, field] {
        if (changeHandler)
            changeHandler(field);
    });
    field->setGeometry(0, 0, 0, 0);
    // Placing renames it ("Loop 3, OPT-100"); a widget's first accessible name costs several
    // times what a later one does, so that cost is paid here, in idle time.
    field->setAccessibleName(QStringLiteral("Count"));
    // Hidden explicitly: a child of a viewport not yet shown would otherwise appear with it.
    field->hide();
    return field;
}

QLineEdit *CountFieldPool::take()
{
    if (spares.isEmpty())
        return makeField();
    QLineEdit *field = spares.takeLast();
    spareSet.remove(field);
    // Written to while waiting, through a pointer kept from the grid. Reset rather than deleted:
    // a hidden table may still list it as the widget of a removed cell until its next layout,
    // and would then touch a deleted widget. setText also clears undo and selection.
    if (!isUntouched(field))
        field->setText(QStringLiteral("0"));
    return field;
}

bool CountFieldPool::madeHere(const QWidget *widget) const
{
    const auto *field = qobject_cast<const QLineEdit *>(widget);
    return field && validator && field->validator() == validator;
}

void CountFieldPool::park(QLineEdit *field)
{
    spares.append(field);
    spareSet.insert(field);
}

bool CountFieldPool::giveBack(QWidget *widget)
{
    if (!madeHere(widget))
        return false;
    auto *field = static_cast<QLineEdit *>(widget);
    // Already waiting: the table may report a field twice (removal and relayout).
    if (isSpare(field))
        return true;
    // Only the table calls this for a touched field, having already forgotten it: deleted, as a
    // new field carries nothing of the old entry (undo history, selection, input state).
    if (!isUntouched(field)) {
        field->hide();
        field->deleteLater();
        return true;
    }
    // Made zero-sized while still shown, so that the size change is delivered now and not
    // held back for the next show, when the user waits for the grid.
    field->resize(0, 0);
    field->hide();
    park(field);
    return true;
}

bool CountFieldPool::isUntouched(const QLineEdit *field)
{
    return field->text() == QLatin1String("0") && !field->isModified() && !field->isUndoAvailable()
           && !field->isRedoAvailable() && !field->hasSelectedText() && field->cursorPosition() == 1;
}

bool CountFieldPool::showsFreshZero(const QLineEdit *field)
{
    return field->text() == QLatin1String("0") && !field->isModified() && !field->isUndoAvailable()
           && !field->isRedoAvailable();
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
        QLineEdit *field = makeField();
        // Polished now rather than on its first show, which happens while the user waits.
        field->ensurePolished();
        park(field);
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

bool CountFieldDelegate::sameShape(const CellShape &shape, const QStyle *style, const QStyleOptionViewItem &option)
{
    const QStyleOptionViewItem &o = shape.option;
    return shape.style == style && o.widget == option.widget && o.rect.size() == option.rect.size()
           && o.direction == option.direction && o.state == option.state && o.features == option.features
           && o.displayAlignment == option.displayAlignment && o.decorationAlignment == option.decorationAlignment
           && o.decorationPosition == option.decorationPosition && o.decorationSize == option.decorationSize
           && o.textElideMode == option.textElideMode && o.viewItemPosition == option.viewItemPosition
           && o.checkState == option.checkState && o.text == option.text && o.icon.isNull() && option.icon.isNull()
           && o.font == option.font && o.font.resolve() == option.font.resolve();
}

void CountFieldDelegate::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                              const QModelIndex &index) const
{
    // Only a pooled field over a cell without an item: its options are the view's, shared by every
    // cell of one layout pass, and the style places the text rectangle relative to the cell.
    if (!reuseGeometry || !editor || !pool->madeHere(editor) || !index.isValid()
        || !index.model()->itemData(index).isEmpty()) {
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
        return;
    }
    QStyle *style = option.widget ? option.widget->style() : QApplication::style();
    if (!haveShape || !sameShape(lastShape, style, option)) {
        // A style sheet can change under the same style object: every field asks it.
        if (style->inherits("QStyleSheetStyle")) {
            haveShape = false;
            QStyledItemDelegate::updateEditorGeometry(editor, option, index);
            return;
        }
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        // As the base class does for a field in a table view.
        opt.showDecorationSelected = true;
        const QRect geometry = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, option.widget);
        lastShape.style = style;
        lastShape.option = option;
        lastGeometry = geometry.translated(-option.rect.topLeft());
        haveShape = true;
    }
    const QRect geometry = lastGeometry.translated(option.rect.topLeft());
    // A field of a cell out of sight is left without a size: resizing each of up to 1,760
    // fields costs more than the rest of a panel change, and nobody sees them. Scrolling
    // brings them into sight through CountFieldPool::placeFieldsInView().
    if (const auto *view = qobject_cast<const QAbstractScrollArea *>(option.widget)) {
        if (!geometry.intersects(view->viewport()->rect())) {
            if (!editor->size().isEmpty())
                editor->resize(0, 0);
            return;
        }
    }
    editor->setGeometry(geometry);
}
