#pragma once

#include "view/gui/CMyListCtrl.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <memory>

// Drags and drops as Qt delivers them to a list's viewport.
namespace dropevents {

inline std::unique_ptr<QMimeData> rowsOf(int sourceControlId)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(QLatin1String(CMyListCtrl::RowsMimeType), QByteArray::number(sourceControlId));
    return mime;
}

inline std::unique_ptr<QMimeData> filesFromFileManager(const QStringList& paths)
{
    auto mime = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << QUrl::fromLocalFile(path);
    mime->setUrls(urls);
    return mime;
}

// Enters the list and moves to at; with drop set, drops there too. Answers whether the list
// took every step.
inline bool drop(CMyListCtrl* list, const QMimeData& mime, const QPoint& at, bool dropped = true)
{
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QDragMoveEvent move(at, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QDropEvent release(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, {});
    QEvent* const steps[] = {&enter, &move, &release};
    for (QEvent* event : steps) {
        if (event == &release && !dropped)
            break;
        QCoreApplication::sendEvent(list->viewport(), event);
        if (!event->isAccepted())
            return false;
    }
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    return true;
}

} // namespace dropevents
