#pragma once

#include "view/gui/TextRowsModel.h"

#include <QIcon>

#include <functional>

// The rows of the local or the remote file list: name, date, size text and, for the server's
// entries, the permission characters. The name column can show an icon and, once allowed, be
// edited in place; an edit only reports the wish to rename, the owner renames and relists.
class FileListModel : public TextRowsModel {
    Q_OBJECT
public:
    enum class Side { Local, Remote };
    // Called for the rows on screen only, so it should answer from a cache.
    using IconSource = std::function<QIcon(const QString& name, bool folder)>;

    explicit FileListModel(Side side, QObject* parent = nullptr);

    Side side() const { return side_; }

    void setIconSource(IconSource source);
    // Every name but ".." becomes editable; the other columns never are.
    void setNamesEditable(bool editable);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Accepts a non-empty new name by announcing it; the row keeps its text until the owner
    // relists.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

Q_SIGNALS:
    void nameEdited(const QString& oldName, const QString& newName);

private:
    static QVector<Column> columnsOf(Side side);
    bool isEditableName(const QModelIndex& index) const;

    const Side side_;
    IconSource iconSource_;
    bool namesEditable_ = false;
};
