#include "UFrmLogin.h"

#include "UCommonFun.h"
#include "UDataInterface.h"
#include "UDataOperaterFun.h"
#include "UFrmModel.h"
#include "UFrmShowInfo.h"
#include "UPiboComponent.h"
#include "UPiboStringGrid.h"
#include "UWebLinks.h"

#include <QtCore/QDateTime>
#include <QtGui/QShowEvent>
#include <QtSql/QSqlQuery>
#include <QtWidgets/QApplication>
#include <QtWidgets/QLabel>
#include <QtWidgets/QLineEdit>

namespace {
const QString NewUserText = QStringLiteral("新用户名");
constexpr TColor TitleColor = 3125034;
constexpr TColor GroupColor = 4604226;
constexpr int ListLeft = 303, ListTop = 140, ListWidth = 292, ListHeight = 78;
constexpr int ColWidths[] = {82, 105, 105};

QLabel* PlainLabel(const QString& text, QWidget* parent, int x, int y, const TFont& font)
{
    QLabel* label = NewPlainLabel(text, parent, font);
    label->move(x, y);
    return label;
}

// Runs a handler of a Qt event: nothing may leave it; the window stays as it is.
void Guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (...) {
    }
}

// The dates of the list: "yyyy-mm-dd" of a stored date-time, empty for none.
QString ListDate(const QVariant& value)
{
    const QDateTime time = DateTimeFromDb(value);
    return time.isValid() ? time.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}
}  // namespace

TFrmLogin::TFrmLogin(QWidget* parent) : TForm(parent)
{
    SetBorderless();
    SetCaption(QString::fromUtf16(u"皮博学习室"));
    SetClientSize(FormWidth, FormHeight);
    CenterOnScreen();
    setFont(TFont().ToQFont());

    imaBackground = new TFrameImage(this);
    imaBackground->setObjectName(QStringLiteral("imaBackground"));
    imaBackground->LoadPicture(QStringLiteral("LoginBackground"));
    imaBackground->move(0, 0);
    imaBackground->OnMouseDown = [this](TMouseButton button, Qt::KeyboardModifiers shift, int x, int y) {
        imaBackgroundMouseDown(button, shift, x, y);
    };

    psbClose = new TPiboSpeedButton(this);
    psbClose->setObjectName(QStringLiteral("psbClose"));
    psbClose->SetPiboSpeedButtonType(psbtClose);
    psbClose->setGeometry(608, 8, 16, 16);
    psbClose->OnClick = [this] { Guarded([this] { psbCloseClick(); }); };
    psbMin = new TPiboSpeedButton(this);
    psbMin->setObjectName(QStringLiteral("psbMin"));
    psbMin->SetPiboSpeedButtonType(psbtMin);
    psbMin->setGeometry(586, 8, 16, 16);
    psbMin->OnClick = [this] { Guarded([this] { psbMinClick(); }); };

    Image1 = new TFrameImage(this);
    Image1->LoadPicture(QStringLiteral("LoginEditBG"));
    Image1->move(335, 78);
    ediAddUser = new QLineEdit(NewUserText, this);
    ediAddUser->setObjectName(QStringLiteral("ediAddUser"));
    ediAddUser->setFrame(false);
    ediAddUser->setGeometry(337, 80, 166, 14);

    TFont white;
    white.Color = clWhite;
    labAdd = new TLinkLabel(QStringLiteral("添加新用户"), this);
    labAdd->setObjectName(QStringLiteral("labAdd"));
    labAdd->SetFont(white);
    labAdd->move(520, 80);
    labAdd->OnClick = [this] { labAddClick(); };
    labAdd->OnMouseMove = [this] { labAddMouseMove(); };
    labAdd->OnMouseLeave = [this] { labAddMouseLeave(); };

    TFont titles;
    titles.Color = TitleColor;
    Label4 = PlainLabel(QStringLiteral("用户"), this, 333, 122, titles);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label5 = PlainLabel(QStringLiteral("初次使用时间"), this, 404, 122, titles);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label6 = PlainLabel(QStringLiteral("上次登录时间"), this, 506, 122, titles);
    Label6->setObjectName(QStringLiteral("Label6"));

    psbOk = new TPiboSpeedButton(this);
    psbOk->setObjectName(QStringLiteral("psbOk"));
    psbOk->SetPiboSpeedButtonType(pbstLoginButton);
    psbOk->SetCaption(QStringLiteral("登录"));
    psbOk->setGeometry(471, 240, 75, 26);
    psbOk->OnClick = [this] { Guarded([this] { psbOkClick(); }); };

    TFont version;
    version.Color = VersionColor;
    Label2 = PlainLabel(QStringLiteral("版本：皮博学习室V1.1"), this, 253, 360, version);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3 = new TLinkLabel(QStringLiteral("网站：") + MakerWebSiteText(), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->SetFont(version);
    Label3->SetHandCursor(true);
    Label3->move(253, 376);
    Label3->OnClick = [this] { Label3Click(); };
    Label3->OnMouseMove = [this] { Label3MouseMove(); };
    Label3->OnMouseLeave = [this] { Label3MouseLeave(); };

    // The maker's web services, two groups in the left column.
    TFont groupFont;
    groupFont.Bold = true;
    groupFont.Color = GroupColor;
    TFont linkFont;
    linkFont.Size = 11;
    linkFont.Color = LinkColor;
    int top = 72;
    for (const TWebLinkGroup& group : LoginLinkGroups()) {
        GroupCaptions << PlainLabel(group.Caption, this, 34, top, groupFont);
        top += 24;
        for (int i = 0; i < group.Links.size(); ++i) {
            const TWebLink& link = group.Links.at(i);
            auto* label = new TLinkLabel(link.Caption, this);
            label->Tag = link.Tag;
            label->Hint = LinkMarker;
            label->SetFont(linkFont);
            label->SetHandCursor(true);
            label->move(44 + (i % 2) * 110, top + (i / 2) * 24);
            label->OnClick = [this, label] { Label8Click(label); };
            label->OnMouseMove = [this, label] { Label8MouseMove(label); };
            label->OnMouseLeave = [this] { Label8MouseLeave(); };
            LinkLabels << label;
        }
        top += (int(group.Links.size()) + 1) / 2 * 24 + 14;
    }

    SetRoundedCorners(this, 2.5);
}

TFrmLogin::~TFrmLogin() = default;

void TFrmLogin::resizeEvent(QResizeEvent* event)
{
    TForm::resizeEvent(event);
    SetRoundedCorners(this, 2.5);
}

void TFrmLogin::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    if (FUserList)
        return;
    try {
        FormShow();
    } catch (...) {  // the window shows without its list
    }
}

void TFrmLogin::FormShow()
{
    MakeUserList();
    FillUserList();
    FUserList->setFocus();
}

void TFrmLogin::MakeUserList()
{
    FUserList = new TPiboStringGrid(this);
    FUserList->setObjectName(QStringLiteral("UserList"));
    FUserList->SetHasCheckBox(false);
    FUserList->SetHasSpeedButton(false);
    TFont font = FUserList->Font();
    font.Color = TitleColor;
    FUserList->SetFont(font);
    FUserList->SetFocusFontColor(clWhite);
    FUserList->SetColor(clWhite);
    FUserList->SetLineColorValue(16772287);
    FUserList->SetFocusColorValue(12810770);
    FUserList->setGeometry(ListLeft, ListTop, ListWidth, ListHeight);
    FUserList->SetAlignment(taCenter);
    FUserList->SetOptions(goRangeSelect);
    FUserList->SetColCount(3);
    for (int c = 0; c < 3; ++c)
        FUserList->SetColWidths(c, ColWidths[c]);
    FUserList->OnDblClick = [this] { Guarded([this] { psbOkClick(); }); };
    FUserList->show();
}

void TFrmLogin::FillUserList()
{
    QList<QStringList> rows;
    if (DataInterface && DataInterface->Connected()) {
        QSqlQuery query(DataInterface->Connection());
        if (query.exec(QStringLiteral("select username, firstusetime, lastlongintime from userinfo "
                                      "order by lastlongintime desc")))
            while (query.next())
                rows << QStringList{query.value(0).toString(), ListDate(query.value(1)), ListDate(query.value(2))};
    }
    FUserList->SetRowCountEx(rows.isEmpty() ? 1 : int(rows.size()));
    FUserList->SetColWidths(2, rows.size() > 3 ? 85 : ColWidths[2]);
    SelectUserRow(0);
    for (int r = 0; r < FUserList->RowCount(); ++r)
        for (int c = 0; c < 3; ++c)
            FUserList->SetCells(c, r, r < rows.size() ? rows.at(r).at(c) : QString());
}

QWidget* TFrmLogin::UserList() const
{
    return FUserList;
}

int TFrmLogin::UserListRowCount() const
{
    return FUserList ? FUserList->RowCount() : 0;
}

QString TFrmLogin::UserListCell(int col, int row) const
{
    return FUserList ? FUserList->GetCells(col, row) : QString();
}

int TFrmLogin::UserListColWidth(int col) const
{
    return FUserList ? FUserList->ColWidths(col) : 0;
}

int TFrmLogin::UserListCurrentRow() const
{
    return FUserList ? FUserList->Row() : -1;
}

void TFrmLogin::SelectUserRow(int row)
{
    if (FUserList && row >= 0 && row < FUserList->RowCount())
        FUserList->GotoCell(0, row);
}

void TFrmLogin::imaBackgroundMouseDown(TMouseButton button, Qt::KeyboardModifiers, int x, int y)
{
    if (button == TMouseButton::Left && PointInRect(x, y, Rect(0, 0, 218, 34)))
        BeginWindowDrag();
}

void TFrmLogin::psbCloseClick()
{
    SetModalResult(mrCancel);
    close();
}

void TFrmLogin::psbMinClick()
{
    showMinimized();
}

void TFrmLogin::psbOkClick()
{
    if (UserCount() == 0) {
        ShowInfo(QStringLiteral("不存在任何用户，请新增一个用户！"));
        return;
    }
    const int row = UserListCurrentRow();
    const QString name = row >= 0 ? UserListCell(0, row) : QString();
    if (name.trimmed().isEmpty()) {
        ShowInfo(QStringLiteral("请选择一个用户！"));
        return;
    }
    SystemPara.UserInfo.UserName = name;
    const QDateTime now = QDateTime::currentDateTime();
    if (IsFirstUse(name))
        UpdateFirstUseTime(name, now);
    UpdateLastLoginTime(name, now);
    SetModalResult(mrOk);
}

void TFrmLogin::labAddClick()
{
    const QString name = ediAddUser->text();
    if (name.trimmed().isEmpty() || name == NewUserText) {
        ShowInfo(QStringLiteral("请输入准备新增的用户名！"));
        return;
    }
    if (UserExists(name)) {
        ShowInfo(QStringLiteral("您输入的用户名已近存在，请重新输入一个！"));
        return;
    }
    TUserInfo user;
    user.UserName = name;
    user.UserPass = QStringLiteral("402719");
    if (!AddUser(user)) {
        ShowInfo(QStringLiteral("用户添加失败！"));
        return;
    }
    ShowInfo(QStringLiteral("用户添加成功！"));
    if (!FUserList)
        return;
    FillUserList();
    for (int r = 0; r < UserListRowCount(); ++r)
        if (UserListCell(0, r) == name) {
            SelectUserRow(r);
            break;
        }
}

void TFrmLogin::labAddMouseMove()
{
    labAdd->SetFontColor(65280);
    labAdd->SetHandCursor(true);
}

void TFrmLogin::labAddMouseLeave()
{
    labAdd->SetFontColor(clWhite);
    labAdd->SetHandCursor(false);
}

void TFrmLogin::Label3Click()
{
    RunProgram(MakerWebSite());
}

void TFrmLogin::Label3MouseMove()
{
    Label3->SetFontColor(clRed);
}

void TFrmLogin::Label3MouseLeave()
{
    Label3->SetFontStyle(false, false);
    Label3->SetFontColor(VersionColor);
}

void TFrmLogin::Label8Click(TLinkLabel* sender)
{
    const QString address = LinkAddress(LoginLinkGroups(), sender->Tag);
    if (!address.isEmpty())
        RunProgram(address);
}

void TFrmLogin::Label8MouseMove(TLinkLabel* sender)
{
    Label8MouseLeave();
    sender->SetFontColor(clRed);
}

void TFrmLogin::Label8MouseLeave()
{
    for (TLinkLabel* label : findChildren<TLinkLabel*>())
        if (label->Hint.contains(LinkMarker)) {
            label->SetFontStyle(false, false);
            label->SetFontColor(LinkColor);
        }
}
