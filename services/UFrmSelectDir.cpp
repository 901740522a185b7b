#include "UFrmSelectDir.h"

#include "UFrmShowInfo.h"
#include "UPiboComponent.h"

#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFileInfo>
#include <QtWidgets/QAbstractItemView>
#include <QtWidgets/QFileIconProvider>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QStyle>
#include <QtWidgets/QTreeWidget>

#include <memory>

namespace {
constexpr QDir::Filters FolderFilter = QDir::Dirs | QDir::NoDotAndDotDot;

bool HasSubFolders(const QString& path)
{
    QDirIterator it(path, FolderFilter);
    return it.hasNext();
}

// A node's picture: the folder's own icon, the open folder while selected.
QIcon NodeIcon(const QIcon& normal, const QIcon& open)
{
    QIcon icon;
    icon.addPixmap(normal.pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(open.pixmap(16, 16), QIcon::Selected);
    return icon;
}
}  // namespace

TFrmSelectDir::TFrmSelectDir(QWidget* parent) : TFrmModel(parent)
{
    SetClientSize(289, 330);
    SetTitle(QStringLiteral("选择目录"));

    Shape1 = new TFrameShape(Panel6);
    Shape1->PenColor = 15380224;
    Shape1->setGeometry(16, 12, 254, 243);

    tvDir = new QTreeWidget(Panel6);
    tvDir->setObjectName(QStringLiteral("tvDir"));
    tvDir->setGeometry(17, 13, 252, 241);
    tvDir->setFrameShape(QFrame::NoFrame);
    tvDir->setHeaderHidden(true);
    tvDir->setColumnCount(1);
    tvDir->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvDir->setSelectionMode(QAbstractItemView::SingleSelection);
    tvDir->setIconSize(QSize(16, 16));
    connect(tvDir, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) { tvDirExpanding(node); });

    ppsbOk = new TPiboSpeedButton(Panel6);
    ppsbOk->setObjectName(QStringLiteral("ppsbOk"));
    ppsbOk->SetPiboSpeedButtonType(pbstInfoButton);
    ppsbOk->SetCaption(QStringLiteral("确定"));
    ppsbOk->move(85, 268);
    ppsbOk->OnClick = [this]() { ppsbOkClick(); };

    ppsbCancel = new TPiboSpeedButton(Panel6);
    ppsbCancel->setObjectName(QStringLiteral("ppsbCancel"));
    ppsbCancel->SetPiboSpeedButtonType(pbstInfoButton);
    ppsbCancel->SetCaption(QStringLiteral("取消"));
    ppsbCancel->move(173, 268);
    ppsbCancel->OnClick = [this]() { ppsbCancelClick(); };

    // The top level: the user's home folder and the file-system root.
    const QFileIconProvider icons;
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    FFolderIcon = NodeIcon(icons.icon(QFileIconProvider::Folder), open);
    const QString home = QDir::homePath();
    AddFolderNode(nullptr, home, QFileInfo(home).fileName(), NodeIcon(icons.icon(QFileInfo(home)), open));
    const QString root = QDir::rootPath();
    AddFolderNode(nullptr, root, root, NodeIcon(icons.icon(QFileIconProvider::Drive), open));
}

QTreeWidgetItem* TFrmSelectDir::AddFolderNode(QTreeWidgetItem* parentNode, const QString& path,
                                              const QString& name, const QIcon& icon)
{
    auto* node = parentNode ? new QTreeWidgetItem(parentNode) : new QTreeWidgetItem(tvDir);
    node->setText(0, name);
    node->setIcon(0, icon);
    node->setData(0, PathRole, path);
    node->setData(0, ExpandedRole, false);
    node->setChildIndicatorPolicy(HasSubFolders(path) ? QTreeWidgetItem::ShowIndicator
                                                      : QTreeWidgetItem::DontShowIndicator);
    return node;
}

void TFrmSelectDir::EnumerateChildren(QTreeWidgetItem* node)
{
    // Sub-folders only, hidden ones left out; an unreadable folder simply has none.
    const QFileInfoList folders = QDir(node->data(0, PathRole).toString())
                                      .entryInfoList(FolderFilter, QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    for (const QFileInfo& folder : folders)
        AddFolderNode(node, folder.absoluteFilePath(), folder.fileName(), FFolderIcon);
}

void TFrmSelectDir::tvDirExpanding(QTreeWidgetItem* node)
{
    if (node->data(0, ExpandedRole).toBool())
        return;
    node->setData(0, ExpandedRole, true);
    EnumerateChildren(node);
    if (node->childCount() == 0)
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicator);
}

void TFrmSelectDir::ppsbOkClick()
{
    const QList<QTreeWidgetItem*> selected = tvDir->selectedItems();
    if (selected.isEmpty()) {
        ShowInfo(QStringLiteral("请选择文件夹！"));
        return;
    }
    const QString path = selected.first()->data(0, PathRole).toString();
    if (!path.isEmpty() && QFileInfo(path).isDir()) {
        FSelectedPath = path;
        SetModalResult(mrOk);
        return;
    }
    ShowInfo(QStringLiteral("选择的文件夹不合法，请重新选择目录！"));
}

void TFrmSelectDir::ppsbCancelClick()
{
    SetModalResult(mrCancel);
}

void SelectDirectory(QString& path)
{
    path.clear();
    const auto form = std::make_unique<TFrmSelectDir>();
    if (form->ShowModal() == mrOk)
        path = form->SelectedPath();
}
