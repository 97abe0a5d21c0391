#include "report/battery_section.h"

#include <QFont>
#include <QPainter>

#include <algorithm>

namespace {

const QString fontFamily = QStringLiteral("SimSum");

}  // namespace

int drawBatterySection(QPainter &painter, const QRect &area, const BatteryResult &result)
{
    painter.save();
    int y = area.top();
    const auto draw = [&](const QFont &font, const QString &text) {
        painter.setFont(font);
        const QRect room(area.left(), y, area.width(), std::max(0, area.bottom() - y + 1));
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
        const QRect needed = painter.boundingRect(room, flags, text);
        if (needed.height() > room.height())
            return false;
        painter.drawText(room, flags, text);
        y += needed.height();
        return true;
    };
    if (draw(QFont(fontFamily, 10, QFont::Bold), QStringLiteral("Battery standby"))) {
        const QFont normal(fontFamily, 10, QFont::Normal);
        for (const QString &line : batteryResultLines(result))
            if (!draw(normal, line))
                break;
    }
    painter.restore();
    return y - area.top();
}
