#include "FileSizeModel.h"

#include <QFileSystemModel>
#include <QLocale>

QVariant FileSizeModel::data(const QModelIndex &index, int role) const
{
    const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
    if (!files || role != Qt::DisplayRole || index.column() != SizeColumn)
        return QIdentityProxyModel::data(index, role);
    const QModelIndex source = mapToSource(index);
    if (files->isDir(source))
        return QIdentityProxyModel::data(index, role);
    return QLocale().formattedDataSize(files->size(source));
}
