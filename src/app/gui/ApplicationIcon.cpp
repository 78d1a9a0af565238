#include "app/gui/ApplicationIcon.h"

QIcon applicationIcon()
{
    // The pictures are linked in from a static library, which keeps them only when asked for.
    Q_INIT_RESOURCE(kevra);
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/kevra-%1.png").arg(size), QSize(size, size));
    return icon;
}
