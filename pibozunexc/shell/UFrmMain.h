#pragma once

// The main window: a borderless skinned frame with the mode buttons, the
// courseware library, the media list and the recent files on the left, and
// the one hosted screen (the start page or the study screen of the current
// mode) on the right.

#include "FileDialogs.h"
#include "Forms.h"
#include "UDataOperaterFun.h"

#include <QtCore/QMap>
#include <QtCore/QPointer>
#include <QtCore/QStringList>

class QAction;
class QLabel;
class QMenu;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TFrameImage;
class TFrameShape;
class QFontMetrics;
class TLinkLabel;
class TPiboMainButton;
class TPiboPageButton;
class TPiboSpeedButton;
class TMainSplitter;

class TFrmMain : public TForm {
    Q_OBJECT
public:
    explicit TFrmMain(QWidget* parent = nullptr);
    ~TFrmMain() override;

    static constexpr int DesignWidth = 995;
    static constexpr int DesignHeight = 613;
    static constexpr int TopHeight = 96;
    static constexpr int BottomHeight = 33;
    static constexpr int LeftWidth = 257;
    static constexpr TColor MenuHoverColor = 11957512;
    static constexpr TColor BottomTextColor = 16709609;

    // Item data roles of the media and recent lists (the courseware tree uses
    // the tree-node helpers of the services).
    static constexpr int ItemPathRole = Qt::UserRole + 10;
    static constexpr int ItemTypeRole = Qt::UserRole + 11;  // media type or recent file type
    static constexpr int ItemFileNameRole = Qt::UserRole + 12;

    // The hot-key hints of the bottom panel.
    static inline const QString HotKeyHintMaker =
        QStringLiteral("快捷键： 播放（F5）| 快退（F7）| 快进（F8）| 时间标签（F9）");
    static inline const QString HotKeyHintStudy =
        QStringLiteral("快捷键:F8键(暂停/播放)| F9键(重复此句)| ALT+Z(上一句)| ALT+X(下一句)");

    // The form names of the study screens of mode 1 to 6, audio and video.
    static QString ScreenFormName(int mode, int kind);
    // The 13 hosted forms in the order they are freed.
    static QStringList HostedFormNames();
    // The study screens in the order hot keys reach them.
    static QStringList HotKeyOrder();

    // ---- components ----
    QWidget* panTop;
    TFrameImage* imgMainTopL;
    TFrameImage* imgMainTopC;
    TFrameImage* imgMainTopR;
    QLabel* labUserCaption;
    QLabel* labUser;
    TLinkLabel* labMain;
    TPiboMainButton* pmbLiuLan;
    TPiboMainButton* pmbDanJu;
    TPiboMainButton* pmbtZiYou;
    TPiboMainButton* pmbKouYu;
    TPiboMainButton* pmbFanYi;
    TPiboMainButton* pmbChengJi;
    TPiboMainButton* pmbZhiZuo;
    TPiboSpeedButton* psbClose;
    TPiboSpeedButton* ppsbMax;
    TPiboSpeedButton* ppsbNormal;
    TPiboSpeedButton* psbMin;
    TLinkLabel* labUpdate;
    TLinkLabel* labSet;
    TLinkLabel* labHelp;
    TLinkLabel* labFeedback;
    TLinkLabel* labExit;
    TFrameShape* saUpdate;
    TFrameShape* saSet;
    TFrameShape* shMenu1;
    TFrameShape* shMenu2;

    QWidget* panBottom;
    TFrameImage* imgMainBottomL;
    TFrameImage* imgMainBottomC;
    TFrameImage* imgMainBottomR;
    QLabel* labHot;
    TLinkLabel* labWebSite;
    QLabel* labBrand;

    QWidget* panClient;
    QWidget* panLeft;
    QWidget* Panel3;
    TPiboPageButton* ppbKeJian;
    TPiboPageButton* ppbMedia;
    TPiboPageButton* ppbRecent;
    TFrameImage* imgTreeHeader;
    QStackedWidget* nbMain;
    QTreeWidget* tvMain;
    QTreeWidget* tvMedia;
    QTreeWidget* tvRecentOpen;
    QWidget* panAddAudio;
    TLinkLabel* labAddAudio;
    QWidget* panAddVideo;
    TLinkLabel* labAddAideo;
    TMainSplitter* Splitter;
    QWidget* panFormClient;

    QMenu* pmMain;
    QAction* miAdd;
    QAction* miDelete;
    QAction* miAddDir;
    QAction* miDeleteDir;
    QAction* miRename;
    QMenu* pmMedia;
    QAction* miAddMdiea;
    QAction* miAddMdieas;
    QAction* miDeleteMdiea;
    QAction* miLoadLrc;
    QMenu* pmRecent;
    QAction* N3;
    QMenu* pmSet;
    QAction* N1;
    QAction* N2;

    TOpenDialog AudioOpenDialog;
    TOpenDialog VideoOpenDialog;
    TOpenDialog MediaOpenDialog;
    TOpenDialog LoadLrcOpenDialog;

    // ---- state ----
    int CurMode() const { return FCurMode; }
    QString CurFile() const { return FCurFile; }
    int NormalWidth() const { return FNormalWidth; }
    int NormalHeight() const { return FNormalHeight; }
    bool Maximized() const { return FMaximized; }
    // The hosted form of a name, or null.
    TForm* Screen(const QString& formName) const;
    // The hosted forms that exist, in the order of HostedFormNames.
    QStringList ExistingScreens() const;

    // ---- frame (published handlers) ----
    void FormResize();
    void imgMainTopLMouseDown(TMouseButton button, int x, int y);
    void imgMainBottomRMouseMove(int x, int y);
    void imgMainBottomRMouseDown(TMouseButton button, int x, int y);
    void psbMinClick();
    void psbCloseClick();
    void ppsbMaxClick();
    void ppsbNormalClick();
    bool SplitterCanResize() const;
    void PageButtonClick(TPiboPageButton* sender);
    void MenuLinkMouseMove(TLinkLabel* sender);
    void MenuLinkMouseLeave();
    void labMainClick();
    void labHelpClick();
    void labFeedbackClick();
    void labWebSiteClick();
    void labSetClick();
    void N1Click();  // 自动断句设置
    void N2Click();  // 清除缓存

    // ---- courseware library ----
    void LoadCoursewareTree();
    void ScanCoursewareFolder(const QString& folder, QTreeWidgetItem* parent, const QString& ext);
    void pmMainPopup();  // enables the commands for the selected node
    void miAddClick();
    void miDeleteClick();
    void miAddDirClick();
    void miDeleteDirClick();
    void miRenameClick();
    void AddCourseware(QTreeWidgetItem* target);
    void AddCoursewareDir(QTreeWidgetItem* parent);
    void DeleteCoursewareDir(QTreeWidgetItem* node);
    void DeleteCourseware(QTreeWidgetItem* node);
    void RenameCoursewareItem(QTreeWidgetItem* node);

    // ---- media list ----
    void LoadMediaList();
    int MediaRootIndex(int kind) const;
    bool IsMediaLoaded(const QString& path) const;
    void AddMediaFile(const QString& path);
    void pmMediaPopup();
    void miAddMdieaClick();   // 添加文件
    void labAddAudioClick();  // [添加音频]
    void labAddAideoClick();  // [添加视频]
    void AddMediaFolder();    // 添加文件夹
    void miDeleteMdieaClick();
    void RemoveMediaFile(QTreeWidgetItem* node);
    void miLoadLrcClick();    // 载入字幕
    void PlaceAddVideoLink();
    int MediaRowHeight() const;
    // Files dropped on the media list: the first one is added and opened.
    void MediaFilesDropped(const QStringList& files);
    bool AddDroppedMedia(const QString& path);

    // The smallest size at which every control of the frame lies inside the
    // window, none over another; the window's minimum size.
    QSize FrameMinimumSize() const;

    // ---- recent list ----
    // A path as the recent list draws it in width pixels: whole when it
    // fits, else with the middle of its folder part left out, so that the
    // file name stays whole (a name too wide by itself keeps its end).
    static QString ElidePathKeepingName(const QString& text, const QFontMetrics& metrics, int width);
    void LoadRecentList();
    void RefreshRecentList();
    int RecentRootIndex(int fileType) const;  // index among all level-1 nodes
    QTreeWidgetItem* RecentGroup(int fileType) const;
    bool IsRecentFile(const QString& path) const;
    void N3Click();  // 清空

    // ---- hosting and opening ----
    void ModeButtonClick(int mode);  // modes 1 to 6
    void pmbChengJiClick();
    bool OpenSelectedFile(QString& playPath, int& mediaKind, int mode);
    void OpenScreen(int mode, int kind, const QString& playPath);
    void FreeOtherScreens(const QString& formName);
    void ShowStartPage();
    void OpenInCurrentMode();
    // The mode (1 to 6) of the hosted study screen, 0 for none; its button
    // shows the down picture.
    int ShownMode() const;
    void MarkShownMode();
    void ReloadScreenSubtitles(int mediaKind);
    void WMHotKey(qint32 id);
    void labUpdateClick();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildTop();
    void BuildBottom();
    void BuildClient();
    void BuildMenus();
    void ArrangeClient();
    QTreeWidget* MakeTree(QWidget* parent, const QString& name);
    QTreeWidgetItem* MakeMediaNode(const TMediaFileLoad& media) const;
    QTreeWidgetItem* AddMediaNode(const TMediaFileLoad& media);
    QTreeWidgetItem* AddTreeItem(QTreeWidgetItem* parent, const QString& text, int image);
    bool AddMediaRecord(const QString& path, bool silent);
    void RunMediaOpenDialog(const QString& filter);
    void TreeDoubleClick(QTreeWidget* tree, QTreeWidgetItem* item);
    void HostForm(TForm* form);
    QString ShownLibraryPath(const TTreeNodeData& data) const;
    void Guarded(const std::function<void()>& handler);

    int FCurMode = 0;
    QString FCurFile;
    int FNormalWidth = DesignWidth;
    int FNormalHeight = DesignHeight;
    bool FMaximized = false;
    bool FShowDone = false;
    int FLeftWidth = LeftWidth;
    QMap<QString, QPointer<TForm>> FScreens;
    QList<TPiboMainButton*> FModeButtons;  // modes 1 to 6 in order, then 学习成绩
    QList<TLinkLabel*> FMenuLinks;
};
