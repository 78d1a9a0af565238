#pragma once

#include "view/gui/CMyListCtrl.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <memory>

// Drags and drops as Qt delivers them to a list's viewport: entering, moving to a point and,
// unless only hovering, dropping there. Answers whether the list took the drop.
namespace dropevents {

inline std::unique_ptr<QMimeData> rowsOf(int sourceControlId)
{
    auto data = std::make_unique<QMimeData>();
    data->setData(QLatin1String(CMyListCtrl::RowsMimeType), QByteArray::number(sourceControlId));
    return data;
}

inline std::unique_ptr<QMimeData> filesFromFileManager(const QStringList& paths)
{
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

inline bool hover(CMyListCtrl* list, const QMimeData& data, const QPoint& at)
{
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &move);
    return enter.isAccepted() && move.isAccepted();
}

inline bool drop(CMyListCtrl* list, const QMimeData& data, const QPoint& at)
{
    if (!hover(list, data, at))
        return false;
    QDropEvent dropped(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(list->viewport(), &dropped);
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    return dropped.isAccepted();
}

} // namespace dropevents
