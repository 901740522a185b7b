#include "UFrmMain.h"

#include "HotKeys.h"
#include "ProgramFolder.h"
#include "SubtitleText.h"
#include "UCommonFun.h"
#include "UDataInterface.h"
#include "UFrmIni.h"
#include "UFrmInputEdit.h"
#include "UFrmModel.h"
#include "UFrmSelectDir.h"
#include "UFrmShowInfo.h"
#include "UFrmShowQuestionInfo.h"
#include "UPiboAudioClass.h"
#include "UPiboComponent.h"
#include "UPiboDataPack.h"
#include "UPrepareAudio.h"
#include "UStudyScreen.h"
#include "UWebLinks.h"

#include <QtCore/QCoreApplication>
#include <QtCore/QDir>
#include <QtCore/QDirIterator>
#include <QtCore/QFile>
#include <QtCore/QFileInfo>
#include <QtCore/QMimeData>
#include <QtCore/QScopeGuard>
#include <QtCore/QUrl>
#include <QtGui/QCloseEvent>
#include <QtGui/QDragEnterEvent>
#include <QtGui/QDropEvent>
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtGui/QIcon>
#include <QtGui/QScreen>
#include <QtGui/QWindow>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QApplication>
#include <QtWidgets/QGridLayout>
#include <QtWidgets/QHeaderView>
#include <QtWidgets/QLabel>
#include <QtWidgets/QMenu>
#include <QtWidgets/QStackedWidget>
#include <QtWidgets/QStyle>
#include <QtWidgets/QStyledItemDelegate>
#include <QtWidgets/QTreeWidget>

#include <stdexcept>

// The one-pixel bar between the lists and the hosted screen; dragging it
// changes the width of the lists unless OnCanResize refuses.
class TMainSplitter : public QWidget {
public:
    explicit TMainSplitter(QWidget* parent) : QWidget(parent) { setCursor(Qt::SplitHCursor); }

    std::function<bool()> OnCanResize;
    std::function<void(int dx)> OnMoved;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        FDown = event->button() == Qt::LeftButton && (!OnCanResize || OnCanResize());
        FStartX = int(event->globalPosition().x());
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!FDown)
            return;
        const int x = int(event->globalPosition().x());
        if (OnMoved && x != FStartX)
            OnMoved(x - FStartX);
        FStartX = x;
    }
    void mouseReleaseEvent(QMouseEvent*) override { FDown = false; }

private:
    bool FDown = false;
    int FStartX = 0;
};

namespace {

constexpr TColor PanelStripColor = 13140493;
constexpr TColor TreePageColor = 16776182;
constexpr TColor BottomColor = 16774600;
constexpr TColor MenuLineColor = 15633424;
constexpr TColor AddLinkColor = 39219;

const char* const ScreenNames[6][2] = {
    {"FrmBrowseRecite", "FrmVideoBrowseRecite"}, {"FrmSingleSentence", "FrmVSingleSentence"},
    {"FrmFreeSentence", "FrmVFreeSentence"},     {"FrmStudySpeak", "FrmVStudySpeak"},
    {"FrmTranslateTrain", "FrmVTranslateTrain"}, {"FrmWordMake", "FrmVWordMake"},
};

// The name of a file without folder and without its last extension.
QString FileNameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString BaseName(const QString& path)
{
    const QString name = FileNameOf(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? name : name.left(dot);
}

// The last extension of a file name with its point, or empty.
QString ExtOf(const QString& path)
{
    const QString name = FileNameOf(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

// A name the user typed for a folder or package of the library: one path
// component, not "." or "..".
bool IsPlainName(const QString& name)
{
    return !name.contains(u'/') && !name.contains(QChar(0)) && name != QStringLiteral(".") &&
           name != QStringLiteral("..");
}

QLabel* PlainLabel(const QString& text, QWidget* parent, TColor color)
{
    TFont font;
    font.Color = color;
    return NewPlainLabel(text, parent, font);
}

TFrameShape* Line(QWidget* parent)
{
    auto* shape = new TFrameShape(parent);
    shape->PenColor = MenuLineColor;
    shape->BrushColor = MenuLineColor;
    shape->resize(1, 12);
    return shape;
}

QIcon IconOf(const char* name)
{
    TBitmap bitmap;
    bitmap.LoadFromResourceName(QString::fromLatin1(name));
    bitmap.SetTransparent(true);
    return QIcon(QPixmap::fromImage(bitmap.DrawImage()));
}

// Rows of the media list are the height of a line of text plus 3.
class TUniformRowDelegate : public QStyledItemDelegate {
public:
    TUniformRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), FHeight(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(FHeight);
        return size;
    }

private:
    int FHeight;
};

// The file nodes of the recent list: a text wider than its room loses the
// middle of its folder part first, so the file name stays whole.
class TRecentPathDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        if (index.data(TFrmMain::ItemPathRole).isValid()) {
            const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
            const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
            opt.text = TFrmMain::ElidePathKeepingName(opt.text, opt.fontMetrics, textRect.width() - 2 * margin);
        }
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    }
};

}  // namespace

QString TFrmMain::ElidePathKeepingName(const QString& text, const QFontMetrics& metrics, int width)
{
    if (metrics.horizontalAdvance(text) <= width)
        return text;
    const qsizetype slash = text.lastIndexOf(u'/');
    const QString name = text.mid(slash + 1);
    const int folderRoom = width - metrics.horizontalAdvance(name);
    if (slash < 0 || folderRoom < metrics.horizontalAdvance(QStringLiteral("\u2026/")))
        return metrics.elidedText(text, Qt::ElideLeft, width);
    return metrics.elidedText(text.left(slash + 1), Qt::ElideMiddle, folderRoom) + name;
}

// ---------------------------------------------------------------------------
// Creation

QString TFrmMain::ScreenFormName(int mode, int kind)
{
    if (mode < 1 || mode > 6 || kind < 0 || kind > 1)
        return QString();
    return QString::fromLatin1(ScreenNames[mode - 1][kind]);
}

QStringList TFrmMain::HostedFormNames()
{
    return {QStringLiteral("FrmIni"),           QStringLiteral("FrmBrowseRecite"),
            QStringLiteral("FrmVideoBrowseRecite"), QStringLiteral("FrmSingleSentence"),
            QStringLiteral("FrmVSingleSentence"), QStringLiteral("FrmFreeSentence"),
            QStringLiteral("FrmVFreeSentence"),  QStringLiteral("FrmStudySpeak"),
            QStringLiteral("FrmVStudySpeak"),    QStringLiteral("FrmWordMake"),
            QStringLiteral("FrmVWordMake"),      QStringLiteral("FrmTranslateTrain"),
            QStringLiteral("FrmVTranslateTrain")};
}

QStringList TFrmMain::HotKeyOrder()
{
    return {QStringLiteral("FrmBrowseRecite"),   QStringLiteral("FrmVideoBrowseRecite"),
            QStringLiteral("FrmSingleSentence"), QStringLiteral("FrmVSingleSentence"),
            QStringLiteral("FrmFreeSentence"),   QStringLiteral("FrmVFreeSentence"),
            QStringLiteral("FrmTranslateTrain"), QStringLiteral("FrmVTranslateTrain"),
            QStringLiteral("FrmStudySpeak"),     QStringLiteral("FrmVStudySpeak"),
            QStringLiteral("FrmWordMake"),       QStringLiteral("FrmVWordMake")};
}

TFrmMain::TFrmMain(QWidget* parent) : TForm(parent)
{
    SetBorderless();
    SetCaption(QString::fromUtf16(u"皮博学习室"));
    setFont(TFont().ToQFont());
    SetWidgetColor(this, clWhite);
    resize(DesignWidth, DesignHeight);
    CenterOnScreen();

    BuildTop();
    BuildBottom();
    BuildClient();
    BuildMenus();
    setMinimumSize(FrameMinimumSize());

    // FormCreate
    SetRoundedCorners(this, 10);
    labUser->setText(SystemPara.UserInfo.UserName);
    labUser->adjustSize();
    // A long name stops short of the link beside it.
    labUser->resize(std::min(labUser->width(), labMain->x() - labUser->x() - 4), labUser->height());
    nbMain->setCurrentIndex(0);
    LoadCoursewareTree();
    tvMain->expandAll();
    if (tvMain->topLevelItemCount() > 0)
        tvMain->setCurrentItem(tvMain->topLevelItem(0));
    LoadMediaList();
    tvMedia->expandAll();
    LoadRecentList();
    tvRecentOpen->expandAll();
    FCurMode = 0;
    FCurFile.clear();
    RegisterHotKeys(this);
    SystemPara.IsPlaying = false;
    ppsbMax->show();
    ppsbNormal->hide();
    LoadDefaultCutPlan(SystemPara.AudioCutPara);
    tvMedia->setAcceptDrops(true);
    tvMedia->viewport()->setAcceptDrops(true);
    tvMedia->viewport()->installEventFilter(this);

    FormResize();
    PlaceAddVideoLink();
}

TFrmMain::~TFrmMain()
{
    // Every hosted screen goes before the window's own parts.
    FreeOtherScreens(QString());
    // FormDestroy
    UnregisterHotKeys(this);
}

void TFrmMain::BuildTop()
{
    panTop = new QWidget(this);
    panTop->setObjectName(QStringLiteral("panTop"));
    imgMainTopL = new TFrameImage(panTop);
    imgMainTopL->LoadPicture(QStringLiteral("MainTopLeft"));
    imgMainTopC = new TFrameImage(panTop);
    imgMainTopC->Stretch = true;
    imgMainTopC->LoadPicture(QStringLiteral("MainTopCenter"));
    imgMainTopR = new TFrameImage(panTop);
    imgMainTopR->LoadPicture(QStringLiteral("MainTopRight"));
    imgMainTopR->resize(106, TopHeight);
    imgMainTopL->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers, int x, int y) {
        Guarded([&] { imgMainTopLMouseDown(button, x, y); });
    };

    labUserCaption = PlainLabel(QStringLiteral("用户："), panTop, clWhite);
    labUserCaption->move(14, 74);
    labUser = PlainLabel(QString(), panTop, clWhite);
    labUser->setObjectName(QStringLiteral("labUser"));
    labUser->move(14 + labUserCaption->width(), 74);

    TFont white;
    white.Color = clWhite;
    labMain = new TLinkLabel(QStringLiteral("主界面"), panTop);
    labMain->setObjectName(QStringLiteral("labMain"));
    labMain->SetFont(white);
    labMain->SetHandCursor(true);
    labMain->move(117, 74);
    labMain->OnClick = [this] { labMainClick(); };
    labMain->OnMouseMove = [this] { labMain->SetFontColor(MenuHoverColor); };
    labMain->OnMouseLeave = [this] { labMain->SetFontColor(clWhite); };

    const struct {
        TPiboMainButton** Field;
        const char* Name;
        const char16_t* Caption;
        TMainButtonType Type;
    } modes[] = {{&pmbLiuLan, "pmbLiuLan", u"浏览背诵", mbtLiuLan},  {&pmbDanJu, "pmbDanJu", u"单句听写", mbtDanJu},
                 {&pmbtZiYou, "pmbtZiYou", u"自由听写", mbtZiYou},   {&pmbKouYu, "pmbKouYu", u"口语模仿", mbtKouYu},
                 {&pmbFanYi, "pmbFanYi", u"翻译训练", mbtFanYi},     {&pmbChengJi, "pmbChengJi", u"学习成绩", mbtChengJi},
                 {&pmbZhiZuo, "pmbZhiZuo", u"课件制作", mbtZhiZuo}};
    int x = 232;
    for (const auto& m : modes) {
        auto* button = new TPiboMainButton(panTop);
        button->setObjectName(QString::fromLatin1(m.Name));
        button->SetMainButtonType(m.Type);
        button->SetCaption(QString::fromUtf16(m.Caption));
        button->setGeometry(x, 40, 96, 36);
        x += 101;
        *m.Field = button;
    }
    // Mode numbers 1 to 6; the seventh button is not a mode.
    FModeButtons = {pmbLiuLan, pmbDanJu, pmbtZiYou, pmbKouYu, pmbFanYi, pmbZhiZuo, pmbChengJi};
    for (int mode = 1; mode <= 6; ++mode)
        FModeButtons.at(mode - 1)->OnClick = [this, mode] { Guarded([&] { ModeButtonClick(mode); }); };
    pmbChengJi->OnClick = [this] { Guarded([&] { pmbChengJiClick(); }); };

    const struct {
        TPiboSpeedButton** Field;
        const char* Name;
        TPiboSpeedButtonType Type;
    } buttons[] = {{&psbClose, "psbClose", psbtClose},
                   {&ppsbMax, "ppsbMax", psbtMax},
                   {&ppsbNormal, "ppsbNormal", psbtNormal},
                   {&psbMin, "psbMin", psbtMin}};
    for (const auto& b : buttons) {
        auto* button = new TPiboSpeedButton(panTop);
        button->setObjectName(QString::fromLatin1(b.Name));
        button->SetPiboSpeedButtonType(b.Type);
        button->resize(16, 16);
        *b.Field = button;
    }
    psbClose->OnClick = [this] { Guarded([&] { psbCloseClick(); }); };
    ppsbMax->OnClick = [this] { Guarded([&] { ppsbMaxClick(); }); };
    ppsbNormal->OnClick = [this] { Guarded([&] { ppsbNormalClick(); }); };
    psbMin->OnClick = [this] { Guarded([&] { psbMinClick(); }); };

    const struct {
        TLinkLabel** Field;
        const char* Name;
        const char16_t* Caption;
    } links[] = {{&labUpdate, "labUpdate", u"软件升级"},
                 {&labSet, "labSet", u"设置"},
                 {&labHelp, "labHelp", u"帮助"},
                 {&labFeedback, "labFeedback", u"反馈"},
                 {&labExit, "labExit", u"退出"}};
    for (const auto& l : links) {
        auto* label = new TLinkLabel(QString::fromUtf16(l.Caption), panTop);
        label->setObjectName(QString::fromLatin1(l.Name));
        label->SetFont(white);
        label->SetHandCursor(true);
        label->OnMouseMove = [this, label] { MenuLinkMouseMove(label); };
        label->OnMouseLeave = [this] { MenuLinkMouseLeave(); };
        *l.Field = label;
        FMenuLinks << label;
    }
    labUpdate->OnClick = [this] { labUpdateClick(); };
    labSet->OnClick = [this] { labSetClick(); };
    labHelp->OnClick = [this] { labHelpClick(); };
    labFeedback->OnClick = [this] { labFeedbackClick(); };
    labExit->OnClick = [this] { psbCloseClick(); };
    saUpdate = Line(panTop);
    saSet = Line(panTop);
    shMenu1 = Line(panTop);
    shMenu2 = Line(panTop);
}

void TFrmMain::BuildBottom()
{
    panBottom = new QWidget(this);
    panBottom->setObjectName(QStringLiteral("panBottom"));
    SetWidgetColor(panBottom, BottomColor);
    imgMainBottomL = new TFrameImage(panBottom);
    imgMainBottomL->LoadPicture(QStringLiteral("MainBottomLeft"));
    imgMainBottomC = new TFrameImage(panBottom);
    imgMainBottomC->Stretch = true;
    imgMainBottomC->LoadPicture(QStringLiteral("MainBottomCenter"));
    imgMainBottomR = new TFrameImage(panBottom);
    imgMainBottomR->LoadPicture(QStringLiteral("MainBottomRight"));
    imgMainBottomR->OnMouseMove = [this](Qt::KeyboardModifiers, int x, int y) {
        Guarded([&] { imgMainBottomRMouseMove(x, y); });
    };
    imgMainBottomR->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers, int x, int y) {
        Guarded([&] { imgMainBottomRMouseDown(button, x, y); });
    };

    labHot = PlainLabel(HotKeyHintStudy, panBottom, BottomTextColor);
    labHot->setObjectName(QStringLiteral("labHot"));
    labHot->move(35, 10);

    TFont site;
    site.Color = BottomTextColor;
    labWebSite = new TLinkLabel(MakerWebSiteText(), panBottom);
    labWebSite->setObjectName(QStringLiteral("labWebSite"));
    labWebSite->SetFont(site);
    labWebSite->SetHandCursor(true);
    labWebSite->OnClick = [this] { labWebSiteClick(); };
    labWebSite->OnMouseMove = [this] { labWebSite->SetFontStyle(false, true); };
    labWebSite->OnMouseLeave = [this] {
        labWebSite->SetFontStyle(false, false);
        labWebSite->SetFontColor(BottomTextColor);
    };
    labBrand = PlainLabel(MakerBrandName(), panBottom, BottomTextColor);
}

QTreeWidget* TFrmMain::MakeTree(QWidget* parent, const QString& name)
{
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(name);
    tree->setColumnCount(1);
    tree->header()->hide();
    tree->setFrameShape(QFrame::NoFrame);
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    tree->setExpandsOnDoubleClick(false);
    QPalette palette = tree->palette();
    palette.setColor(QPalette::Base, ToQColor(TreePageColor));
    tree->setPalette(palette);
    const QList<QIcon> icons = {IconOf("TreeFolder"), IconOf("TreeAudio"), IconOf("TreeVideo")};
    tree->setProperty(TreeImageListProperty, QVariant::fromValue(icons));
    connect(tree, &QTreeWidget::itemDoubleClicked, this,
            [this, tree](QTreeWidgetItem* item) { Guarded([&] { TreeDoubleClick(tree, item); }); });
    return tree;
}

QTreeWidgetItem* TFrmMain::AddTreeItem(QTreeWidgetItem* parent, const QString& text, int image)
{
    auto* item = new QTreeWidgetItem(parent, QStringList{text});
    SetTreeNodeImage(item, image);
    return item;
}

void TFrmMain::BuildClient()
{
    panClient = new QWidget(this);
    panClient->setObjectName(QStringLiteral("panClient"));
    panLeft = new QWidget(panClient);
    panLeft->setObjectName(QStringLiteral("panLeft"));
    SetWidgetColor(panLeft, TreePageColor);

    Panel3 = new QWidget(panLeft);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    SetWidgetColor(Panel3, PanelStripColor);
    const struct {
        TPiboPageButton** Field;
        const char* Name;
        const char16_t* Caption;
        TPageButtonType Type;
    } pages[] = {{&ppbKeJian, "ppbKeJian", u"皮博课件", pbtKeJian},
                 {&ppbMedia, "ppbMedia", u"普通媒体文件", pbtMedia},
                 {&ppbRecent, "ppbRecent", u"最近打开的文件", pbtRecent}};
    int y = 15;
    for (const auto& page : pages) {
        auto* button = new TPiboPageButton(Panel3);
        button->setObjectName(QString::fromLatin1(page.Name));
        const QString caption = QString::fromUtf16(page.Caption);
        button->SetCaption(caption);
        button->SetPageButtonType(page.Type);
        const int height = std::max(88, 44 + 14 * int(PageButtonCaptionLines(caption).size()));
        button->setGeometry(4, y, 26, height);
        y += height + 4;
        button->OnClick = [this, button] { Guarded([&] { PageButtonClick(button); }); };
        *page.Field = button;
    }
    ppbKeJian->SetSelected(true);

    imgTreeHeader = new TFrameImage(panLeft);
    imgTreeHeader->Stretch = true;
    imgTreeHeader->LoadPicture(QStringLiteral("TreeHeader"));
    nbMain = new QStackedWidget(panLeft);
    nbMain->setObjectName(QStringLiteral("nbMain"));

    tvMain = MakeTree(nbMain, QStringLiteral("tvMain"));
    for (const char16_t* root : {u"音频课件", u"视频课件"})
        tvMain->addTopLevelItem(new QTreeWidgetItem(QStringList{QString::fromUtf16(root)}));
    for (int i = 0; i < tvMain->topLevelItemCount(); ++i)
        SetTreeNodeImage(tvMain->topLevelItem(i), 0);

    tvMedia = MakeTree(nbMain, QStringLiteral("tvMedia"));
    tvMedia->setUniformRowHeights(true);
    tvMedia->setItemDelegate(new TUniformRowDelegate(MediaRowHeight(), tvMedia));
    for (const char16_t* root : {u"音频文件", u"视频文件"}) {
        auto* item = new QTreeWidgetItem(QStringList{QString::fromUtf16(root)});
        tvMedia->addTopLevelItem(item);
        SetTreeNodeImage(item, 0);
    }

    tvRecentOpen = MakeTree(nbMain, QStringLiteral("tvRecentOpen"));
    tvRecentOpen->setItemDelegate(new TRecentPathDelegate(tvRecentOpen));
    const struct {
        const char16_t* Root;
        const char16_t* Groups[2];
    } recentRoots[] = {{u"皮博课件", {u"音频课件", u"视频课件"}}, {u"普通媒体文件", {u"音频文件", u"视频文件"}}};
    for (const auto& root : recentRoots) {
        auto* item = new QTreeWidgetItem(QStringList{QString::fromUtf16(root.Root)});
        tvRecentOpen->addTopLevelItem(item);
        SetTreeNodeImage(item, 0);
        for (const char16_t* group : root.Groups)
            AddTreeItem(item, QString::fromUtf16(group), 0);
    }
    nbMain->addWidget(tvMain);
    nbMain->addWidget(tvMedia);
    nbMain->addWidget(tvRecentOpen);

    // The add links float over the media list at x = 149.
    TFont addFont;
    addFont.Color = AddLinkColor;
    const struct {
        QWidget** Panel;
        TLinkLabel** Label;
        const char* Name;
        const char16_t* Caption;
    } adds[] = {{&panAddAudio, &labAddAudio, "labAddAudio", u"[添加音频]"},
                {&panAddVideo, &labAddAideo, "labAddAideo", u"[添加视频]"}};
    for (const auto& add : adds) {
        auto* panel = new QWidget(tvMedia->viewport());
        SetWidgetColor(panel, TreePageColor);
        auto* label = new TLinkLabel(QString::fromUtf16(add.Caption), panel);
        label->setObjectName(QString::fromLatin1(add.Name));
        label->SetFont(addFont);
        label->move(0, (MediaRowHeight() - label->height()) / 2);
        panel->resize(label->width(), MediaRowHeight());
        label->OnMouseMove = [label] {
            label->SetFontColor(MenuHoverColor);
            label->SetHandCursor(true);
        };
        label->OnMouseLeave = [label] {
            label->SetFontColor(AddLinkColor);
            label->SetHandCursor(false);
        };
        *add.Panel = panel;
        *add.Label = label;
    }
    panAddAudio->setObjectName(QStringLiteral("panAddAudio"));
    panAddVideo->setObjectName(QStringLiteral("panAddVideo"));
    panAddAudio->move(149, 0);
    labAddAudio->OnClick = [this] { labAddAudioClick(); };
    labAddAideo->OnClick = [this] { labAddAideoClick(); };
    connect(tvMedia, &QTreeWidget::itemExpanded, this, [this] { PlaceAddVideoLink(); });
    connect(tvMedia, &QTreeWidget::itemCollapsed, this, [this] { PlaceAddVideoLink(); });

    Splitter = new TMainSplitter(panClient);
    Splitter->setObjectName(QStringLiteral("Splitter"));
    SetWidgetColor(Splitter, PanelStripColor);
    Splitter->OnCanResize = [this] { return SplitterCanResize(); };
    Splitter->OnMoved = [this](int dx) {
        FLeftWidth = std::clamp(FLeftWidth + dx, 120, std::max(120, panClient->width() - 200));
        ArrangeClient();
    };

    panFormClient = new QWidget(panClient);
    panFormClient->setObjectName(QStringLiteral("panFormClient"));
    auto* layout = new QGridLayout(panFormClient);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
}

void TFrmMain::BuildMenus()
{
    pmMain = new QMenu(this);
    miAdd = pmMain->addAction(QStringLiteral("添加课件"));
    miDelete = pmMain->addAction(QStringLiteral("删除课件"));
    miAddDir = pmMain->addAction(QStringLiteral("添加目录"));
    miDeleteDir = pmMain->addAction(QStringLiteral("删除目录"));
    miRename = pmMain->addAction(QStringLiteral("重命名"));
    connect(miAdd, &QAction::triggered, this, [this] { Guarded([&] { miAddClick(); }); });
    connect(miDelete, &QAction::triggered, this, [this] { Guarded([&] { miDeleteClick(); }); });
    connect(miAddDir, &QAction::triggered, this, [this] { Guarded([&] { miAddDirClick(); }); });
    connect(miDeleteDir, &QAction::triggered, this, [this] { Guarded([&] { miDeleteDirClick(); }); });
    connect(miRename, &QAction::triggered, this, [this] { Guarded([&] { miRenameClick(); }); });
    connect(tvMain, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        Guarded([&] { pmMainPopup(); });
        pmMain->popup(tvMain->viewport()->mapToGlobal(pos));
    });

    pmMedia = new QMenu(this);
    miAddMdiea = pmMedia->addAction(QStringLiteral("添加文件"));
    miAddMdieas = pmMedia->addAction(QStringLiteral("添加文件夹"));
    miDeleteMdiea = pmMedia->addAction(QStringLiteral("删除文件"));
    miLoadLrc = pmMedia->addAction(QStringLiteral("载入字幕"));
    connect(miAddMdiea, &QAction::triggered, this, [this] { Guarded([&] { miAddMdieaClick(); }); });
    connect(miAddMdieas, &QAction::triggered, this, [this] { Guarded([&] { AddMediaFolder(); }); });
    connect(miDeleteMdiea, &QAction::triggered, this, [this] { Guarded([&] { miDeleteMdieaClick(); }); });
    connect(miLoadLrc, &QAction::triggered, this, [this] { Guarded([&] { miLoadLrcClick(); }); });
    connect(tvMedia, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        Guarded([&] { pmMediaPopup(); });
        pmMedia->popup(tvMedia->viewport()->mapToGlobal(pos));
    });

    pmRecent = new QMenu(this);
    N3 = pmRecent->addAction(QStringLiteral("清空"));
    connect(N3, &QAction::triggered, this, [this] { Guarded([&] { N3Click(); }); });
    connect(tvRecentOpen, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmRecent->popup(tvRecentOpen->viewport()->mapToGlobal(pos)); });

    pmSet = new QMenu(this);
    N1 = pmSet->addAction(QStringLiteral("自动断句设置"));
    N2 = pmSet->addAction(QStringLiteral("清除缓存"));
    connect(N1, &QAction::triggered, this, [this] { Guarded([&] { N1Click(); }); });
    connect(N2, &QAction::triggered, this, [this] { Guarded([&] { N2Click(); }); });

    AudioOpenDialog.Filter = QStringLiteral("皮博音频课件(*.pibo)|*.pibo");
    VideoOpenDialog.Filter = QStringLiteral("皮博视频课件(*.vpibo)|*.vpibo");
}

// Runs a handler of a Qt event: nothing of ours may leave it.
void TFrmMain::Guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowInfo(QString::fromLocal8Bit(e.what()));
    } catch (...) {
    }
}

// ---------------------------------------------------------------------------
// Frame

void TFrmMain::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    FormResize();
}

void TFrmMain::FormResize()
{
    SetRoundedCorners(this, 10);
    const int w = width();
    const int h = height();

    panTop->setGeometry(0, 0, w, TopHeight);
    imgMainTopL->setGeometry(0, 0, 826, TopHeight);
    imgMainTopR->setGeometry(w - 106, 0, 106, TopHeight);
    imgMainTopC->setGeometry(826, 0, std::max(0, w - 826 - 106), TopHeight);

    psbClose->move(w - psbClose->width() - 15, 6);
    ppsbMax->move(psbClose->x() - 5 - ppsbMax->width(), 6);
    psbMin->move(ppsbMax->x() - 5 - psbMin->width(), 6);
    ppsbNormal->move(ppsbMax->pos());

    constexpr int menuTop = 8;
    labHelp->move(w - 180, menuTop);
    shMenu1->move(labHelp->x() + labHelp->width() + 5, menuTop + 1);
    labFeedback->move(shMenu1->x() + shMenu1->width() + 5, menuTop);
    shMenu2->move(labFeedback->x() + labFeedback->width() + 5, menuTop + 1);
    labExit->move(shMenu2->x() + shMenu2->width() + 5, menuTop);
    saSet->move(labHelp->x() - 5 - saSet->width(), menuTop + 1);
    labSet->move(saSet->x() - 5 - labSet->width(), menuTop);
    saUpdate->move(labSet->x() - 5 - saUpdate->width(), menuTop + 1);
    labUpdate->move(saUpdate->x() - 5 - labUpdate->width(), menuTop);
    for (QWidget* widget : std::initializer_list<QWidget*>{psbClose, ppsbMax, ppsbNormal, psbMin, labHelp, shMenu1,
                                                          labFeedback, shMenu2, labExit, saSet, labSet, saUpdate,
                                                          labUpdate})
        widget->raise();

    panBottom->setGeometry(0, h - BottomHeight, w, BottomHeight);
    imgMainBottomL->setGeometry(0, 0, imgMainBottomL->Picture.Width(), BottomHeight);
    imgMainBottomR->setGeometry(w - 23, 0, 23, BottomHeight);
    imgMainBottomC->setGeometry(imgMainBottomL->width(), 0, std::max(0, w - imgMainBottomL->width() - 23),
                                BottomHeight);
    labHot->raise();
    labWebSite->move(w - labWebSite->width() - 35, 10);
    labBrand->move(labWebSite->x() - 10 - labBrand->width(), 10);
    labWebSite->raise();
    labBrand->raise();

    panClient->setGeometry(0, TopHeight, w, std::max(0, h - TopHeight - BottomHeight));
    ArrangeClient();

    if (QScreen* screen = this->screen()) {
        const int workHeight = screen->availableGeometry().height();
        if (workHeight > 0 && workHeight < h)
            resize(w, workHeight);
    }
}

QSize TFrmMain::FrameMinimumSize() const
{
    constexpr int gap = 10;
    // The title strip: its two end pictures side by side, and the mode
    // buttons clear of the right edge (the title buttons and menu links
    // keep their own row above them).
    const int topWidth = std::max(imgMainTopL->width() + imgMainTopR->width(), pmbZhiZuo->geometry().right() + 1 + gap);
    // The bottom strip: the longer hot-key hint, then the brand and the web
    // site with their margins, none over another.
    const QFontMetrics hint(labHot->font());
    const int hintWidth = std::max(hint.horizontalAdvance(HotKeyHintStudy), hint.horizontalAdvance(HotKeyHintMaker));
    const int bottomWidth = labHot->x() + hintWidth + 2 * gap + labBrand->width() + 10 + labWebSite->width() + 35;
    // The client: the page buttons whole, and the hosted area beside the
    // lists as wide as the splitter leaves it.
    const int clientWidth = LeftWidth + 1 + 200;
    const int clientHeight = ppbRecent->geometry().bottom() + 1 + gap;
    return QSize(std::max({topWidth, bottomWidth, clientWidth}), TopHeight + clientHeight + BottomHeight);
}

void TFrmMain::ArrangeClient()
{
    const int h = panClient->height();
    panLeft->setGeometry(0, 0, FLeftWidth, h);
    Panel3->setGeometry(0, 0, 33, h);
    imgTreeHeader->setGeometry(33, 0, FLeftWidth - 33, 15);
    nbMain->setGeometry(33, 15, FLeftWidth - 33, std::max(0, h - 15));
    Splitter->setGeometry(FLeftWidth, 0, 1, h);
    panFormClient->setGeometry(FLeftWidth + 1, 0, std::max(0, panClient->width() - FLeftWidth - 1), h);
}

void TFrmMain::imgMainTopLMouseDown(TMouseButton button, int, int)
{
    if (button == TMouseButton::Left && !FMaximized)
        BeginWindowDrag();
}

void TFrmMain::imgMainBottomRMouseMove(int x, int y)
{
    const bool grip = !FMaximized && PointInRect(x, y, Rect(0, BottomHeight - 20, 23, BottomHeight));
    if (grip)
        imgMainBottomR->setCursor(Qt::SizeFDiagCursor);
    else
        imgMainBottomR->unsetCursor();
}

void TFrmMain::imgMainBottomRMouseDown(TMouseButton button, int x, int y)
{
    if (button != TMouseButton::Left || FMaximized || SystemPara.IsPlaying)
        return;
    if (!PointInRect(x, y, Rect(0, BottomHeight - 20, 23, BottomHeight)))
        return;
    if (QWindow* handle = windowHandle())
        handle->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
}

void TFrmMain::psbMinClick()
{
    showMinimized();
}

void TFrmMain::psbCloseClick()
{
    close();
}

void TFrmMain::ppsbMaxClick()
{
    if (SystemPara.IsPlaying)
        return;
    ppsbMax->hide();
    ppsbNormal->show();
    FMaximized = true;
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, width(), height());
    setGeometry(area);
}

void TFrmMain::ppsbNormalClick()
{
    if (SystemPara.IsPlaying)
        return;
    ppsbMax->show();
    ppsbNormal->hide();
    FMaximized = false;
    resize(FNormalWidth, FNormalHeight);
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        const QRect all = screen->geometry();
        move(RoundHalfEven((all.width() - width()) / 2.0), RoundHalfEven((all.height() - height()) / 2.0));
    }
}

bool TFrmMain::SplitterCanResize() const
{
    return !SystemPara.IsPlaying;
}

void TFrmMain::PageButtonClick(TPiboPageButton* sender)
{
    for (TPiboPageButton* button : {ppbKeJian, ppbMedia, ppbRecent})
        button->SetSelected(button->PageButtonType() == sender->PageButtonType());
    switch (sender->PageButtonType()) {
    case pbtKeJian:
        nbMain->setCurrentIndex(0);
        break;
    case pbtMedia:
        nbMain->setCurrentIndex(1);
        PlaceAddVideoLink();
        break;
    case pbtRecent:
        nbMain->setCurrentIndex(2);
        break;
    }
}

void TFrmMain::MenuLinkMouseMove(TLinkLabel* sender)
{
    MenuLinkMouseLeave();
    sender->SetFontColor(MenuHoverColor);
}

void TFrmMain::MenuLinkMouseLeave()
{
    for (TLinkLabel* label : FMenuLinks)
        label->SetFontColor(clWhite);
}

void TFrmMain::labMainClick()
{
    ShowStartPage();
}

void TFrmMain::labHelpClick()
{
    RunProgram(MakerHelpPage());
}

void TFrmMain::labFeedbackClick()
{
    RunProgram(MakerFeedbackPage());
}

void TFrmMain::labWebSiteClick()
{
    RunProgram(MakerWebSite());
}

void TFrmMain::labSetClick()
{
    const QPoint at(labSet->x() - 5, labSet->y() + labSet->height() + 6);
    pmSet->popup(labSet->parentWidget()->mapToGlobal(at));
}

void TFrmMain::N1Click()
{
    TForm* form = nullptr;
    try {
        form = CreateRegisteredForm(QStringLiteral("FrmAudioCutSet"), this);
        form->ShowModal();
    } catch (...) {
    }
    delete form;
}

void TFrmMain::N2Click()
{
    ClearFolder(ProgramFolder() + QStringLiteral("temp/"));
    ShowInfo(QStringLiteral("缓存数据清除成功！"));
}

void TFrmMain::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FShowDone)
        return;
    FShowDone = true;
    // FormShow
    ShowStartPage();
    FNormalWidth = width();
    FNormalHeight = height();
    FormResize();
}

void TFrmMain::closeEvent(QCloseEvent* event)
{
    // FormClose: the screens go, and a maximised window returns to normal.
    FreeOtherScreens(QString());
    if (FMaximized) {
        const bool playing = SystemPara.IsPlaying;
        SystemPara.IsPlaying = false;
        ppsbNormalClick();
        SystemPara.IsPlaying = playing;
    }
    TForm::closeEvent(event);
}

bool TFrmMain::event(QEvent* event)
{
    if (event->type() == THotKeyEvent::EventType()) {
        const qint32 id = static_cast<THotKeyEvent*>(event)->Id();
        Guarded([&] { WMHotKey(id); });
        return true;
    }
    return TForm::event(event);
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == tvMedia->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (drag->mimeData() && drag->mimeData()->hasUrls()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            QStringList files;
            if (drop->mimeData())
                for (const QUrl& url : drop->mimeData()->urls())
                    if (url.isLocalFile())
                        files << url.toLocalFile();
            drop->acceptProposedAction();
            Guarded([&] { MediaFilesDropped(files); });
            return true;
        }
        default:
            break;
        }
    }
    return TForm::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Courseware library

void TFrmMain::LoadCoursewareTree()
{
    const struct {
        bool Video;
        const char* Folder;
        const char* Ext;
    } roots[] = {{false, "audio", ".pibo"}, {true, "video", ".vpibo"}};
    for (int i = 0; i < 2 && i < tvMain->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tvMain->topLevelItem(i);
        TTreeNodeData data;
        data.Kind = 0;
        data.IsVideo = roots[i].Video;
        data.Path = ProgramFolder() + QLatin1String(roots[i].Folder);
        SetTreeNodeData(root, data);
        ScanCoursewareFolder(data.Path + u'/', root, QLatin1String(roots[i].Ext));
    }
}

void TFrmMain::ScanCoursewareFolder(const QString& folder, QTreeWidgetItem* parent, const QString& ext)
{
    // The nodes are made outside the tree and added to it at once, so that
    // the tree hears of a whole folder once, not of every node and field.
    const bool video = ext != QStringLiteral(".pibo");
    const QList<QIcon> icons = tvMain->property(TreeImageListProperty).value<QList<QIcon>>();
    const auto makeNode = [&icons](const QString& text, int image, const TTreeNodeData& data) {
        auto* node = new QTreeWidgetItem(QStringList{text});
        node->setData(0, TreeNodeDataRole, QVariant::fromValue(data));
        node->setData(0, TreeNodeImageRole, image);
        if (image >= 0 && image < icons.size())
            node->setIcon(0, icons.at(image));
        return node;
    };
    QList<QTreeWidgetItem*> children;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        TTreeNodeData data;
        data.IsVideo = video;
        data.Path = folder + name;
        if (it.fileInfo().isDir()) {
            data.Kind = 1;
            QTreeWidgetItem* node = makeNode(name, 0, data);
            ScanCoursewareFolder(folder + name + u'/', node, ext);
            children << node;
        } else if (ExtOf(name) == ext) {
            data.Kind = -1;
            children << makeNode(BaseName(name), video ? 2 : 1, data);
        }
    }
    parent->addChildren(children);
}

void TFrmMain::pmMainPopup()
{
    QTreeWidgetItem* node = tvMain->currentItem();
    const int kind = node ? TreeNodeData(node).Kind : 0;
    const bool any = node != nullptr;
    miAdd->setEnabled(any && kind == 1);
    miDelete->setEnabled(any && kind == -1);
    miAddDir->setEnabled(any && kind != -1);
    miDeleteDir->setEnabled(any && kind == 1);
    miRename->setEnabled(any && kind != 0);
}

void TFrmMain::miAddClick()
{
    if (QTreeWidgetItem* node = tvMain->currentItem())
        AddCourseware(node);
    else
        ShowInfo(QStringLiteral("请选择要添加课件所属的目录！"));
}

void TFrmMain::miDeleteClick()
{
    if (QTreeWidgetItem* node = tvMain->currentItem())
        DeleteCourseware(node);
    else
        ShowInfo(QStringLiteral("请选择要删除的课件！"));
}

void TFrmMain::miAddDirClick()
{
    if (QTreeWidgetItem* node = tvMain->currentItem())
        AddCoursewareDir(node);
    else
        ShowInfo(QStringLiteral("请选择要创建目录的父目录！"));
}

void TFrmMain::miDeleteDirClick()
{
    if (QTreeWidgetItem* node = tvMain->currentItem())
        DeleteCoursewareDir(node);
    else
        ShowInfo(QStringLiteral("请选择要删除的目录！"));
}

void TFrmMain::miRenameClick()
{
    if (QTreeWidgetItem* node = tvMain->currentItem())
        RenameCoursewareItem(node);
    else
        ShowInfo(QStringLiteral("请选择要重命名的课件或目录！"));
}

void TFrmMain::AddCourseware(QTreeWidgetItem* target)
{
    const TTreeNodeData folder = TreeNodeData(target);
    TOpenDialog& dialog = folder.IsVideo ? VideoOpenDialog : AudioOpenDialog;
    if (!dialog.Execute(this))
        return;
    const QString name = QFileInfo(dialog.FileName).fileName();
    const QString base = BaseName(name);
    bool exists = false;
    for (int i = 0; i < target->childCount(); ++i) {
        QTreeWidgetItem* child = target->child(i);
        if (child->text(0) == base && TreeNodeData(child).Kind == -1)
            exists = true;
    }
    if (exists && !ShowQuestionInfo(QStringLiteral("已存在同名的课件，是否覆盖？")))
        return;
    const QString path = folder.Path + u'/' + name;
    if (!CopyFileReplacing(dialog.FileName, path)) {
        ShowInfo(QStringLiteral("添加课件失败！"));
        return;
    }
    if (exists)
        return;
    QTreeWidgetItem* node = AddTreeItem(target, base, ExtOf(name) == QStringLiteral(".pibo") ? 1 : 2);
    TTreeNodeData data;
    data.Kind = -1;
    data.IsVideo = folder.IsVideo;
    data.Path = path;
    SetTreeNodeData(node, data);
    target->setExpanded(true);
}

void TFrmMain::AddCoursewareDir(QTreeWidgetItem* parent)
{
    QString name;
    int result = mrCancel;
    ShowInputEdit(QStringLiteral("添加目录"), QStringLiteral("请输入目录名称"), name, result);
    if (result != mrOk)
        return;
    if (name.trimmed().isEmpty()) {
        ShowInfo(QStringLiteral("目录名不能为空"));
        return;
    }
    for (int i = 0; i < parent->childCount(); ++i)
        if (parent->child(i)->text(0) == name) {
            ShowInfo(QStringLiteral("此目录名已经存在，请重新设置一个目录名。"));
            return;
        }
    const TTreeNodeData parentData = TreeNodeData(parent);
    const QString path = parentData.Path + u'/' + name;
    // A name must stay one folder inside the library.
    if (!IsPlainName(name) || QFileInfo::exists(path) || !QDir().mkdir(path)) {
        ShowInfo(QStringLiteral("创建目录失败！"));
        return;
    }
    QTreeWidgetItem* node = AddTreeItem(parent, name, 0);
    TTreeNodeData data;
    data.Kind = 1;
    data.IsVideo = parentData.IsVideo;
    data.Path = path;
    SetTreeNodeData(node, data);
    parent->setExpanded(true);
}

QString TFrmMain::ShownLibraryPath(const TTreeNodeData& data) const
{
    const QString root = ProgramFolder() + (data.IsVideo ? QStringLiteral("video/") : QStringLiteral("audio/"));
    QString rest = data.Path;
    if (rest.startsWith(root))
        rest = rest.mid(root.size());
    return (data.IsVideo ? QStringLiteral("视频课件/") : QStringLiteral("音频课件/")) + rest;
}

void TFrmMain::DeleteCoursewareDir(QTreeWidgetItem* node)
{
    if (node->childCount() > 0) {
        ShowInfo(QStringLiteral("此目录下存在子目录或课件，要删除此目录，请首先删除其子目录及课件。"));
        return;
    }
    const TTreeNodeData data = TreeNodeData(node);
    if (!ShowQuestionInfo(QStringLiteral("确定要删除【") + ShownLibraryPath(data) + QStringLiteral("】？")))
        return;
    if (data.Kind != 1 || !QDir().rmdir(data.Path)) {
        ShowInfo(QStringLiteral("删除目录失败！"));
        return;
    }
    delete node;
}

void TFrmMain::DeleteCourseware(QTreeWidgetItem* node)
{
    const TTreeNodeData data = TreeNodeData(node);
    if (!ShowQuestionInfo(QStringLiteral("确定要删除课件【") + ShownLibraryPath(data) + QStringLiteral("】？")))
        return;
    if (data.Kind != -1 || !QFile::remove(data.Path)) {
        ShowInfo(QStringLiteral("课件删除失败！"));
        return;
    }
    delete node;
}

void TFrmMain::RenameCoursewareItem(QTreeWidgetItem* node)
{
    QString text = node->text(0);
    int result = mrCancel;
    ShowInputEdit(QStringLiteral("重命名"), QStringLiteral("请输入名称"), text, result);
    if (result != mrOk || text == node->text(0))
        return;
    if (text.trimmed().isEmpty()) {
        ShowInfo(QStringLiteral("名称不能为空"));
        return;
    }
    if (QTreeWidgetItem* parent = node->parent())
        for (int i = 0; i < parent->childCount(); ++i)
            if (parent->child(i) != node && parent->child(i)->text(0) == text) {
                ShowInfo(QStringLiteral("此名称已经存在，请重新设置一个名称。"));
                return;
            }
    TTreeNodeData data = TreeNodeData(node);
    if (data.Kind == 1) {
        const QString oldPath = data.Path;
        const QString newPath = TreeNodeData(node->parent()).Path + u'/' + text;
        if (!IsPlainName(text) || !ShellRenameFile(oldPath, newPath)) {
            ShowInfo(QStringLiteral("目录名重命名失败，请检查目录是否已经被打开。"));
            return;
        }
        data.Path = newPath;
        SetTreeNodeData(node, data);
        node->setText(0, text);
        // The nodes below take the new folder into their paths.
        QList<QTreeWidgetItem*> below;
        for (int i = 0; i < node->childCount(); ++i)
            below << node->child(i);
        while (!below.isEmpty()) {
            QTreeWidgetItem* item = below.takeFirst();
            TTreeNodeData itemData = TreeNodeData(item);
            if (itemData.Path.startsWith(oldPath + u'/'))
                itemData.Path = newPath + itemData.Path.mid(oldPath.size());
            SetTreeNodeData(item, itemData);
            for (int i = 0; i < item->childCount(); ++i)
                below << item->child(i);
        }
    } else if (data.Kind == -1) {
        const QString oldPath = data.Path;
        const QString newPath = oldPath.left(oldPath.lastIndexOf(u'/') + 1) + text + ExtOf(oldPath);
        if (!IsPlainName(text) || !ShellRenameFile(oldPath, newPath)) {
            ShowInfo(QStringLiteral("课件命名失败！"));
            return;
        }
        data.Path = newPath;
        SetTreeNodeData(node, data);
        node->setText(0, text);
    }
}

// ---------------------------------------------------------------------------
// Media list

int TFrmMain::MediaRowHeight() const
{
    return TextHeightOf(TFont(), QStringLiteral("Sample")) + 3;
}

QTreeWidgetItem* TFrmMain::MakeMediaNode(const TMediaFileLoad& media) const
{
    const int image = media.MediaType == 1 ? 1 : 2;
    auto* node = new QTreeWidgetItem(QStringList{media.FileName});
    const QList<QIcon> icons = tvMedia->property(TreeImageListProperty).value<QList<QIcon>>();
    node->setData(0, TreeNodeImageRole, image);
    if (image < icons.size())
        node->setIcon(0, icons.at(image));
    node->setData(0, ItemPathRole, media.Path);
    node->setData(0, ItemTypeRole, media.MediaType);
    node->setData(0, ItemFileNameRole, media.FileName);
    return node;
}

QTreeWidgetItem* TFrmMain::AddMediaNode(const TMediaFileLoad& media)
{
    const int rootIndex = MediaRootIndex(media.MediaType == 1 ? 1 : 2);
    if (rootIndex < 0)
        return nullptr;
    QTreeWidgetItem* node = MakeMediaNode(media);
    tvMedia->topLevelItem(rootIndex)->addChild(node);
    return node;
}

void TFrmMain::LoadMediaList()
{
    if (!DataInterface || !DataInterface->Connected())
        return;
    // The nodes of each root are added at once.
    QList<QTreeWidgetItem*> audio;
    QList<QTreeWidgetItem*> video;
    try {
        QSqlQuery query(DataInterface->Connection());
        query.prepare(QStringLiteral("select mediatype, path, filename from mediafileload where name=? "
                                     "order by mediatype"));
        query.addBindValue(SystemPara.UserInfo.UserName);
        if (query.exec()) {
            while (query.next()) {
                TMediaFileLoad media;
                media.Name = SystemPara.UserInfo.UserName;
                media.MediaType = query.value(0).toInt();
                media.Path = query.value(1).toString();
                media.FileName = query.value(2).toString();
                if (QFileInfo(media.Path).isFile())
                    (media.MediaType == 1 ? audio : video) << MakeMediaNode(media);
            }
        }
    } catch (...) {
    }
    const int audioRoot = MediaRootIndex(1);
    const int videoRoot = MediaRootIndex(2);
    if (audioRoot >= 0)
        tvMedia->topLevelItem(audioRoot)->addChildren(audio);
    else
        qDeleteAll(audio);
    if (videoRoot >= 0)
        tvMedia->topLevelItem(videoRoot)->addChildren(video);
    else
        qDeleteAll(video);
}

int TFrmMain::MediaRootIndex(int kind) const
{
    const QString text = kind == 1 ? QStringLiteral("音频文件") : kind == 2 ? QStringLiteral("视频文件") : QString();
    for (int i = 0; i < tvMedia->topLevelItemCount(); ++i)
        if (!text.isEmpty() && tvMedia->topLevelItem(i)->text(0) == text)
            return i;
    return -1;
}

bool TFrmMain::IsMediaLoaded(const QString& path) const
{
    for (int i = 0; i < tvMedia->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tvMedia->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j)
            if (root->child(j)->data(0, ItemPathRole).toString() == path)
                return true;
    }
    return false;
}

bool TFrmMain::AddMediaRecord(const QString& path, bool silent)
{
    if (IsMediaLoaded(path)) {
        if (!silent)
            ShowInfo(QStringLiteral("此媒体文件已经载入！"));
        return false;
    }
    TMediaFileLoad media;
    media.Name = SystemPara.UserInfo.UserName;
    media.MediaType = MediaKindOfExt(ExtOf(path));
    media.Path = path;
    media.FileName = QFileInfo(path).fileName();
    if (media.MediaType == 0)
        return false;
    const bool deleted = DeleteMediaFileLoad(media);
    const bool added = deleted && AddMediaFileLoad(media);
    if (!added) {
        if (!silent)
            ShowInfo(QStringLiteral("媒体文件载入失败！"));
        return false;
    }
    QTreeWidgetItem* node = AddMediaNode(media);
    if (node)
        node->parent()->setExpanded(true);
    PlaceAddVideoLink();
    return node != nullptr;
}

void TFrmMain::AddMediaFile(const QString& path)
{
    AddMediaRecord(path, false);
}

bool TFrmMain::AddDroppedMedia(const QString& path)
{
    return AddMediaRecord(path, true);
}

void TFrmMain::pmMediaPopup()
{
    QTreeWidgetItem* node = tvMedia->currentItem();
    const bool file = node && node->parent();
    miAddMdiea->setEnabled(true);
    miAddMdieas->setEnabled(true);
    miDeleteMdiea->setEnabled(file);
    miLoadLrc->setEnabled(file);
}

void TFrmMain::RunMediaOpenDialog(const QString& filter)
{
    MediaOpenDialog.Filter = filter;
    if (MediaOpenDialog.Execute(this))
        AddMediaFile(MediaOpenDialog.FileName);
    PlaceAddVideoLink();
}

void TFrmMain::miAddMdieaClick()
{
    RunMediaOpenDialog(QStringLiteral(
        "媒体文件(*.wav,*.mp3,*.avi,*.asf,*.wmv)|*.wav;*.mp3;*.avi;*.asf;*.wmv|音频文件(*.wav,*.mp3)|*.wav;*.mp3|"
        "wav(*.wav)|*.wav|mp3(*.mp3)|*.mp3|视频文件(*.avi,*.asf,*.wmv)|*.avi;*.asf;*.wmv|avi(*.avi)|*.avi|"
        "asf(*.asf)|*.asf|wmv(*.wmv)|*.wmv"));
}

void TFrmMain::labAddAudioClick()
{
    RunMediaOpenDialog(QStringLiteral("音频文件(*.wav,*.mp3)|*.wav;*.mp3|wav(*.wav)|*.wav|mp3(*.mp3)|*.mp3"));
}

void TFrmMain::labAddAideoClick()
{
    RunMediaOpenDialog(QStringLiteral(
        "视频文件(*.avi,*.asf,*.wmv)|*.avi;*.asf;*.wmv|avi(*.avi)|*.avi|asf(*.asf)|*.asf|wmv(*.wmv)|*.wmv"));
}

void TFrmMain::AddMediaFolder()
{
    QString folder;
    SelectDirectory(folder);
    if (folder.isEmpty())
        return;
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        AddMediaRecord(prefix + it.fileName(), true);
    }
    PlaceAddVideoLink();
}

void TFrmMain::miDeleteMdieaClick()
{
    QTreeWidgetItem* node = tvMedia->currentItem();
    if (!node || !node->parent()) {
        ShowInfo(QStringLiteral("请选择要删除的媒体文件！"));
        return;
    }
    RemoveMediaFile(node);
}

void TFrmMain::RemoveMediaFile(QTreeWidgetItem* node)
{
    TMediaFileLoad media;
    media.Name = SystemPara.UserInfo.UserName;
    media.MediaType = node->data(0, ItemTypeRole).toInt();
    media.Path = node->data(0, ItemPathRole).toString();
    media.FileName = node->data(0, ItemFileNameRole).toString();
    if (DeleteMediaFileLoad(media))
        delete node;
    else
        ShowInfo(QStringLiteral("媒体文件删除失败！"));
    PlaceAddVideoLink();
}

void TFrmMain::PlaceAddVideoLink()
{
    const int audio = MediaRootIndex(1);
    int row = 1;
    if (audio >= 0 && tvMedia->topLevelItem(audio)->isExpanded()) {
        // The video root's index among all nodes: the roots and what lies before it.
        row = 0;
        int level0 = 0;
        for (int i = 0; i < tvMedia->topLevelItemCount(); ++i) {
            if (++level0 == 2)
                break;
            row += 1 + tvMedia->topLevelItem(i)->childCount();
        }
    }
    panAddVideo->move(149, MediaRowHeight() * row);
}

void TFrmMain::miLoadLrcClick()
{
    QTreeWidgetItem* node = tvMedia->currentItem();
    if (!node || !node->parent())
        return;
    const QString media = node->data(0, ItemPathRole).toString();
    const int kind = MediaKindOfExt(ExtOf(media)) == 1 ? 1 : 2;
    LoadLrcOpenDialog.Filter = kind == 1 ? QStringLiteral("音频字幕文件(*.lrc,*.plrc)|*.lrc;*.plrc")
                                         : QStringLiteral("视频字幕文件(*.srt,*.psrt)|*.srt;*.psrt");
    if (!LoadLrcOpenDialog.Execute(this))
        return;
    const QString chosen = LoadLrcOpenDialog.FileName;
    const QString base = BaseName(media);
    const QString temp = ProgramFolder() + QStringLiteral("temp/");
    if (kind == 1) {
        if (ExtOf(chosen) != QStringLiteral(".lrc")) {
            CopyFileReplacing(chosen, temp + base + QStringLiteral(".plrc"));
        } else {
            const QString lrc = temp + base + QStringLiteral(".lrc");
            if (CopyFileReplacing(chosen, lrc)) {
                ShiftLrcFile(lrc, 500);
                QFile::remove(temp + base + QStringLiteral(".plrc"));
            }
        }
    } else {
        CopyFileReplacing(chosen, ChangeFileExt(media, QStringLiteral(".srt")));
    }
    if (media == FCurFile && FCurMode != 0)
        ReloadScreenSubtitles(kind);
}

void TFrmMain::MediaFilesDropped(const QStringList& files)
{
    if (files.isEmpty())
        return;
    const QString path = files.first();
    if (!AddDroppedMedia(path))
        return;
    for (int i = 0; i < tvMedia->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tvMedia->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j)
            if (root->child(j)->data(0, ItemPathRole).toString() == path)
                tvMedia->setCurrentItem(root->child(j));
    }
    PlaceAddVideoLink();
    OpenInCurrentMode();
}

// ---------------------------------------------------------------------------
// Recent list

QTreeWidgetItem* TFrmMain::RecentGroup(int fileType) const
{
    const int index = RecentRootIndex(fileType);
    if (index < 0)
        return nullptr;
    int n = 0;
    for (int i = 0; i < tvRecentOpen->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tvRecentOpen->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j, ++n)
            if (n == index)
                return root->child(j);
    }
    return nullptr;
}

int TFrmMain::RecentRootIndex(int fileType) const
{
    QString text;
    switch (fileType) {
    case 1:
        text = QStringLiteral("音频文件");
        break;
    case 2:
        text = QStringLiteral("视频文件");
        break;
    case 3:
        text = QStringLiteral("音频课件");
        break;
    case 4:
        text = QStringLiteral("视频课件");
        break;
    default:
        return -1;
    }
    int n = 0;
    for (int i = 0; i < tvRecentOpen->topLevelItemCount(); ++i) {
        QTreeWidgetItem* root = tvRecentOpen->topLevelItem(i);
        for (int j = 0; j < root->childCount(); ++j, ++n)
            if (root->child(j)->text(0) == text)
                return n;
    }
    return -1;
}

void TFrmMain::LoadRecentList()
{
    if (!DataInterface || !DataInterface->Connected())
        return;
    try {
        QSqlQuery query(DataInterface->Connection());
        query.prepare(QStringLiteral("select filetype, path, filename from recentfilelist where name=? "
                                     "order by id desc"));
        query.addBindValue(SystemPara.UserInfo.UserName);
        if (!query.exec())
            return;
        int counts[5] = {0, 0, 0, 0, 0};
        while (query.next()) {
            const int type = query.value(0).toInt();
            const QString path = query.value(1).toString();
            if (type < 1 || type > 4 || counts[type] >= 10 || !QFileInfo(path).isFile())
                continue;
            QTreeWidgetItem* group = RecentGroup(type);
            if (!group)
                continue;
            QString text = path;
            if (type == 3 || type == 4) {
                const QString root = ProgramFolder() + (type == 3 ? QStringLiteral("audio/") : QStringLiteral("video/"));
                if (text.startsWith(root))
                    text = text.mid(root.size());
            }
            QTreeWidgetItem* node = AddTreeItem(group, text, type == 1 || type == 3 ? 1 : 2);
            node->setData(0, ItemPathRole, path);
            node->setData(0, ItemTypeRole, type);
            node->setData(0, ItemFileNameRole, query.value(2).toString());
            ++counts[type];
        }
    } catch (...) {
    }
}

void TFrmMain::RefreshRecentList()
{
    for (int type = 1; type <= 4; ++type)
        if (QTreeWidgetItem* group = RecentGroup(type))
            qDeleteAll(group->takeChildren());
    LoadRecentList();
    tvRecentOpen->expandAll();
}

bool TFrmMain::IsRecentFile(const QString& path) const
{
    for (int type = 1; type <= 4; ++type)
        if (QTreeWidgetItem* group = RecentGroup(type))
            for (int i = 0; i < group->childCount(); ++i)
                if (group->child(i)->data(0, ItemPathRole).toString() == path)
                    return true;
    return false;
}

void TFrmMain::N3Click()
{
    ClearRecentFiles();
    RefreshRecentList();
}

// ---------------------------------------------------------------------------
// Hosting and opening

TForm* TFrmMain::Screen(const QString& formName) const
{
    return FScreens.value(formName).data();
}

QStringList TFrmMain::ExistingScreens() const
{
    QStringList names;
    for (const QString& name : HostedFormNames())
        if (Screen(name))
            names << name;
    return names;
}

void TFrmMain::HostForm(TForm* form)
{
    form->setParent(panFormClient, Qt::Widget);
    form->setGeometry(0, 0, panFormClient->width(), panFormClient->height());
    static_cast<QGridLayout*>(panFormClient->layout())->addWidget(form, 0, 0);
}

void TFrmMain::ModeButtonClick(int mode)
{
    // Whatever the outcome, the button of the screen shown stays marked.
    const auto mark = qScopeGuard([this] { MarkShownMode(); });
    QString playPath;
    int mediaKind = 0;
    if (!OpenSelectedFile(playPath, mediaKind, mode))
        return;
    OpenScreen(mode, mediaKind == 1 ? 0 : 1, playPath);
    FCurMode = mode;
}

int TFrmMain::ShownMode() const
{
    for (int mode = 1; mode <= 6; ++mode)
        for (int kind = 0; kind <= 1; ++kind)
            if (Screen(ScreenFormName(mode, kind)))
                return mode;
    return 0;
}

void TFrmMain::MarkShownMode()
{
    const int shown = ShownMode();
    for (int mode = 1; mode <= 6; ++mode)
        FModeButtons.at(mode - 1)->SetDown(mode == shown);
}

void TFrmMain::OpenScreen(int mode, int kind, const QString& playPath)
{
    const QString name = ScreenFormName(mode, kind);
    try {
        if (TForm* form = Screen(name)) {
            TStudyScreen* screen = AsStudyScreen(form);
            if (!screen)
                throw std::runtime_error("The form is not a study screen");
            screen->SetMediaFile(playPath);
            screen->ReloadFile();
        } else {
            TForm* created = CreateRegisteredForm(name, panFormClient);
            QPointer<TForm> guard(created);
            FScreens.insert(name, guard);
            TStudyScreen* screen = AsStudyScreen(created);
            if (!screen) {
                delete created;
                FScreens.remove(name);
                throw std::runtime_error("The form is not a study screen");
            }
            HostForm(created);
            screen->SetMediaFile(playPath);
            if (mode == 6)
                screen->SetLibraryTree(tvMain);
            created->show();
        }
        FreeOtherScreens(name);
    } catch (...) {
        // A screen that cannot be made or reloaded leaves the window as it was.
    }
}

void TFrmMain::FreeOtherScreens(const QString& formName)
{
    for (const QString& name : HostedFormNames()) {
        QPointer<TForm> form = FScreens.value(name);
        if (!form) {
            FScreens.remove(name);
            continue;
        }
        if (form->objectName() == formName)
            continue;
        FScreens.remove(name);
        delete form.data();
    }
}

void TFrmMain::ShowStartPage()
{
    try {
        if (!Screen(QStringLiteral("FrmIni"))) {
            auto* page = new TFrmIni(panFormClient);
            page->setObjectName(QStringLiteral("FrmIni"));
            FScreens.insert(QStringLiteral("FrmIni"), page);
            HostForm(page);
            FCurMode = 0;
            FCurFile.clear();
            page->show();
        }
        FreeOtherScreens(QStringLiteral("FrmIni"));
    } catch (...) {
    }
    MarkShownMode();
}

void TFrmMain::pmbChengJiClick()
{
    const QString name = QStringLiteral("FrmStudyRecord");
    TForm* form = nullptr;
    try {
        form = CreateRegisteredForm(name, this);
        form->ShowModal();
    } catch (...) {
    }
    delete form;
}

void TFrmMain::OpenInCurrentMode()
{
    ModeButtonClick(FCurMode == 0 ? 1 : FCurMode);
}

void TFrmMain::TreeDoubleClick(QTreeWidget* tree, QTreeWidgetItem* item)
{
    if (!item)
        return;
    int level = 0;
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        ++level;
    if (tree == tvMain && TreeNodeData(item).Kind == -1)
        OpenInCurrentMode();
    else if (tree == tvMedia && level == 1)
        OpenInCurrentMode();
    else if (tree == tvRecentOpen && level == 2)
        OpenInCurrentMode();
}

void TFrmMain::ReloadScreenSubtitles(int mediaKind)
{
    if (FCurMode < 1 || FCurMode > 6)
        return;
    if (TStudyScreen* screen = AsStudyScreen(Screen(ScreenFormName(FCurMode, mediaKind == 1 ? 0 : 1))))
        screen->ReloadSubtitle();
}

void TFrmMain::WMHotKey(qint32 id)
{
    for (const QString& name : HotKeyOrder())
        if (TStudyScreen* screen = AsStudyScreen(Screen(name)))
            screen->HandleHotKey(id);
}

bool TFrmMain::OpenSelectedFile(QString& playPath, int& mediaKind, int mode)
{
    const int page = nbMain->currentIndex();
    TRecentFileList r;
    QString play;
    int kind = 0;
    const QString temp = ProgramFolder() + QStringLiteral("temp/");

    if (page == 0) {
        QTreeWidgetItem* node = tvMain->currentItem();
        if (!node || TreeNodeData(node).Kind != -1) {
            ShowInfo(QStringLiteral("请选择课件！"));
            return false;
        }
        const TTreeNodeData data = TreeNodeData(node);
        if (!QFileInfo(data.Path).isFile()) {
            ShowInfo(QStringLiteral("您选择的课件不存在！"));
            return false;
        }
        kind = data.IsVideo ? 2 : 1;
        if (data.Path == FCurFile && mode == FCurMode)
            return false;
        if (!OpenPackage(data.Path, play)) {
            ShowInfo(QStringLiteral("您选择的课件包解压失败！"));
            return false;
        }
        r.FileType = data.IsVideo ? 4 : 3;
        r.Path = data.Path;
    } else if (page == 1) {
        QTreeWidgetItem* node = tvMedia->currentItem();
        if (!node || !node->parent() || node->parent()->parent()) {
            ShowInfo(QStringLiteral("请选择媒体文件！"));
            return false;
        }
        const QString path = node->data(0, ItemPathRole).toString();
        if (!QFileInfo(path).isFile()) {
            ShowInfo(QStringLiteral("您选择的媒体文件不存在！"));
            return false;
        }
        kind = MediaKindOfExt(ExtOf(path)) == 1 ? 1 : 2;
        if (path == FCurFile && mode == FCurMode)
            return false;
        if (kind == 1) {
            r.FileType = 1;
            play = temp + BaseName(path) + QStringLiteral(".wav");
            PrepareAudioFile(path, play);
        } else {
            r.FileType = 2;
            play = path;
        }
        r.Path = path;
    } else {
        QTreeWidgetItem* node = tvRecentOpen->currentItem();
        const bool level2 = node && node->parent() && node->parent()->parent() && !node->parent()->parent()->parent();
        if (!level2) {
            ShowInfo(QStringLiteral("请选择文件！"));
            return false;
        }
        const QString path = node->data(0, ItemPathRole).toString();
        const int type = node->data(0, ItemTypeRole).toInt();
        if (!QFileInfo(path).isFile()) {
            ShowInfo(QStringLiteral("您选择的文件不存在！"));
            return false;
        }
        kind = type == 1 || type == 3 ? 1 : 2;
        if (path == FCurFile && mode == FCurMode)
            return false;
        if (type == 3 || type == 4) {
            if (!OpenPackage(path, play)) {
                ShowInfo(QStringLiteral("您选择的课件包解压失败！"));
                return false;
            }
        } else if (type == 1) {
            play = temp + BaseName(path) + QStringLiteral(".wav");
            PrepareAudioFile(path, play);
        } else {
            play = path;
        }
        r.FileType = type;
        r.Path = path;
    }

    r.FileName = QFileInfo(r.Path).fileName();
    r.Name = SystemPara.UserInfo.UserName;
    FCurFile = r.Path;
    SystemPara.FilePath = r.Path;
    if (page == 0 || page == 1) {
        if (IsRecentFile(r.Path))
            DeleteRecentFile(r);
        AddRecentFile(r);
        RefreshRecentList();
    }
    labHot->setText(mode == 6 ? HotKeyHintMaker : HotKeyHintStudy);
    labHot->adjustSize();
    playPath = play;
    mediaKind = kind;
    return true;
}

void TFrmMain::labUpdateClick()
{
    if (!HasNewVersion()) {
        ShowInfo(QStringLiteral("您使用的已经是最新版本了！"));
        return;
    }
    if (!ShowQuestionInfo(QStringLiteral("有新版本可更新，是否更新？")))
        return;
    // The loop ends; the shutdown follows while the updater runs.
    QCoreApplication::exit(0);
    RunProgram(QLatin1String(UpdaterProgramName));
}
