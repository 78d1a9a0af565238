#include "app/gui/MessageBoxCaptionFit.h"

#include "app/gui/CaptionWidth.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>

namespace {
// The layout that holds this filter's spacer, so that each layout gets one.
const char* const fittedProperty = "captionFittedLayout";
} // namespace

void MessageBoxCaptionFit::install()
{
    if (qApp->findChild<MessageBoxCaptionFit*>(QString(), Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new MessageBoxCaptionFit(qApp));
}

// The box computes its fixed size from its layout's minimum width when it is shown, after this
// filter has seen the show event: a spacer as wide as the caption needs makes it wide enough.
bool MessageBoxCaptionFit::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show)
        return false;
    auto* box = qobject_cast<QMessageBox*>(watched);
    auto* grid = box ? qobject_cast<QGridLayout*>(box->layout()) : nullptr;
    // A box that rebuilds its layout (a check box or an icon set later) needs a new spacer.
    const auto layoutId = reinterpret_cast<quintptr>(grid);
    if (grid == nullptr || box->property(fittedProperty).value<quintptr>() == layoutId)
        return false;
    const QMargins margins = grid->contentsMargins();
    // A caption too long for the screen is left to the window manager to cut.
    const int widest = box->screen()->availableGeometry().width() * 9 / 10;
    const int width =
        qMin(CaptionWidth(box->windowTitle()), widest) - margins.left() - margins.right();
    // Sharing the first row with the text adds no height.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), 0, 0, 1,
                  grid->columnCount());
    box->setProperty(fittedProperty, QVariant::fromValue(layoutId));
    return false;
}
