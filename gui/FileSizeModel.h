#pragma once

#include <QIdentityProxyModel>

// What the program's file dialogs list: the files of a QFileSystemModel with
// their sizes in the interface's language ("18 байт"), not in the system
// locale's, which a station running under C.UTF-8 would show in English.
class FileSizeModel : public QIdentityProxyModel
{
    Q_OBJECT

public:
    using QIdentityProxyModel::QIdentityProxyModel;

    // The size column of a file in the default locale; everything else as
    // the file system model gives it.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // The size column of a QFileSystemModel.
    static constexpr int SizeColumn = 1;
};
