#pragma once

// The folder picker: a tree of the file system's folders, listed lazily.

#include "UFrmModel.h"

#include <QtCore/QString>
#include <QtGui/QIcon>

class QTreeWidget;
class QTreeWidgetItem;
class TPiboSpeedButton;

class TFrmSelectDir : public TFrmModel {
    Q_OBJECT
public:
    explicit TFrmSelectDir(QWidget* parent = nullptr);

    // Item data roles of the tree nodes: the folder's path and whether its
    // children have been listed.
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int ExpandedRole = Qt::UserRole + 1;

    TFrameShape* Shape1;
    QTreeWidget* tvDir;
    TPiboSpeedButton* ppsbOk;
    TPiboSpeedButton* ppsbCancel;

    // The chosen folder after OK: without a trailing '/' except the root "/".
    QString SelectedPath() const { return FSelectedPath; }

    void tvDirExpanding(QTreeWidgetItem* node);
    void ppsbOkClick();
    void ppsbCancelClick();

private:
    QTreeWidgetItem* AddFolderNode(QTreeWidgetItem* parentNode, const QString& path, const QString& name,
                                   const QIcon& icon);
    void EnumerateChildren(QTreeWidgetItem* node);

    QIcon FFolderIcon;
    QString FSelectedPath;
};

// Lets the user choose a folder. The path is emptied first; after OK it holds
// the chosen folder, after cancel or close it stays empty.
void SelectDirectory(QString& path);
