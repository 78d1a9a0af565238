#include "app/gui/CaptionWidth.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>

namespace {
constexpr double titleFontScale = 1.2;
// A window icon, close, maximise and minimise buttons, and the margins around them.
constexpr int titleBarDecoration = 160;
} // namespace

int CaptionWidth(const QString& title)
{
    QFont font = QApplication::font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * titleFontScale);
    return QFontMetrics(font).horizontalAdvance(title) + titleBarDecoration;
}
