#include "window_checks.h"

#include "app/main_window.h"

#include <QLineEdit>
#include <QRegExpValidator>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>
#include <algorithm>
#include <vector>

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QStringLiteral("<none>");
}

bool showOnTab(MainWindow &w, int tab)
{
    w.findChild<QTabWidget *>()->setCurrentIndex(tab);
    w.show();
    return QTest::qWaitForWindowActive(&w);
}

QString countGridProblem(const MainWindow &w, int rows, int loops,
                         const std::function<QString(int row, int loop)> &text)
{
    // Called after every step of long random runs: nothing is allocated per field unless it fails.
    auto where = [](int r, int i) { return QStringLiteral("count field of row %1, loop %2: ").arg(r).arg(i + 1); };
    const QValidator *shared = nullptr;
    std::vector<const QLineEdit *> placed;
    placed.reserve(size_t(std::max(rows, 0)) * size_t(std::max(loops, 0)));
    for (int r = 0; r < kMaxDeviceRows; ++r) {
        for (int i = 0; i < kMaxLoops; ++i) {
            const QLineEdit *edit = w.deviceCountEdits[r][i];
            if ((edit != nullptr) != (r < rows && i < loops))
                return where(r, i) + (edit ? QStringLiteral("outside the grid, not null") : QStringLiteral("null"));
            if (!edit)
                continue;
            placed.push_back(edit);
            if (w.deviceTable->cellWidget(r, i + 2) != edit)
                return where(r, i) + QStringLiteral("not the widget of its cell");
            if (edit->parentWidget() != w.deviceTable->viewport() || edit->isHidden())
                return where(r, i) + QStringLiteral("not shown in the table");
            const QString expected = text(r, i);
            if (edit->text() != expected)
                return where(r, i) + QStringLiteral("shows \"%1\" instead of \"%2\"").arg(edit->text(), expected);
            if (!shared)
                shared = edit->validator();
            if (edit->validator() != shared || !qobject_cast<const QRegExpValidator *>(shared))
                return where(r, i) + QStringLiteral("not the shared count validator");
        }
    }
    std::sort(placed.begin(), placed.end());
    if (std::adjacent_find(placed.begin(), placed.end()) != placed.end())
        return QStringLiteral("a count field is placed in two cells");
    return QString();
}
