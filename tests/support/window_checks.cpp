#include "window_checks.h"

#include "app/main_window.h"

#include <QLineEdit>
#include <QRegExpValidator>
#include <QSet>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

bool showCalculationTab(MainWindow &w)
{
    w.findChild<QTabWidget *>()->setCurrentIndex(1);
    w.show();
    return QTest::qWaitForWindowActive(&w);
}

QString countGridProblem(const MainWindow &w, int rows, int loops,
                         const std::function<QString(int row, int loop)> &text)
{
    const QValidator *shared = nullptr;
    QSet<const QLineEdit *> seen;
    for (int r = 0; r < kMaxDeviceRows; ++r) {
        for (int i = 0; i < kMaxLoops; ++i) {
            const QLineEdit *edit = w.deviceCountEdits[r][i];
            const QString where = QStringLiteral("count field of row %1, loop %2: ").arg(r).arg(i + 1);
            if ((edit != nullptr) != (r < rows && i < loops))
                return where + (edit ? QStringLiteral("outside the grid, not null") : QStringLiteral("null"));
            if (!edit)
                continue;
            if (seen.contains(edit))
                return where + QStringLiteral("placed twice");
            seen.insert(edit);
            if (w.deviceTable->cellWidget(r, i + 2) != edit)
                return where + QStringLiteral("not the widget of its cell");
            if (edit->parentWidget() != w.deviceTable->viewport() || edit->isHidden())
                return where + QStringLiteral("not shown in the table");
            if (edit->text() != text(r, i))
                return where + QStringLiteral("shows \"%1\" instead of \"%2\"").arg(edit->text(), text(r, i));
            if (!shared)
                shared = edit->validator();
            if (edit->validator() != shared || !qobject_cast<const QRegExpValidator *>(shared))
                return where + QStringLiteral("not the shared count validator");
        }
    }
    return QString();
}
