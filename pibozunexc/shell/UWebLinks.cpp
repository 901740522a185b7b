#include "UWebLinks.h"

#include <QtGui/QMouseEvent>
#include <QtGui/QPainterPath>
#include <QtGui/QRegion>
#include <QtGui/QPalette>


namespace {
const QString Site = QStringLiteral("http://www.pibostudy.example/");

QString Page(const char* path)
{
    return Site + QString::fromLatin1(path);
}

QString& StartPageOverride()
{
    static QString address;
    return address;
}
}  // namespace

QString MakerWebSite()
{
    return Site;
}

QString MakerWebSiteText()
{
    return QStringLiteral("www.pibostudy.example");
}

QString MakerBrandName()
{
    return QStringLiteral("皮博英语");
}

QString MakerHelpPage()
{
    return Page("help/");
}

QString MakerFeedbackPage()
{
    return Page("feedback/");
}

QString StartPageAddress()
{
    const QString& address = StartPageOverride();
    return address.isEmpty() ? Page("start/") : address;
}

void SetStartPageAddress(const QString& address)
{
    StartPageOverride() = address;
}

QList<TWebLinkGroup> LoginLinkGroups()
{
    return {
        {QStringLiteral("皮博学习服务"),
         {{10, QStringLiteral("课件下载"), Page("courseware/")},
          {11, QStringLiteral("听力训练"), Page("listening/")},
          {12, QStringLiteral("口语训练"), Page("speaking/")},
          {13, QStringLiteral("学习论坛"), Page("forum/")},
          {14, QStringLiteral("使用帮助"), Page("help/")},
          {15, QStringLiteral("意见反馈"), Page("feedback/")}}},
        {QStringLiteral("皮博英语资源"),
         {{30, QStringLiteral("新概念英语"), Page("resources/nce/")},
          {31, QStringLiteral("英语新闻"), Page("resources/news/")},
          {32, QStringLiteral("英文歌曲"), Page("resources/songs/")},
          {33, QStringLiteral("影视英语"), Page("resources/films/")},
          {34, QStringLiteral("商务英语"), Page("resources/business/")},
          {35, QStringLiteral("考试英语"), Page("resources/exams/")},
          {36, QStringLiteral("少儿英语"), Page("resources/children/")},
          {37, QStringLiteral("英语词典"), Page("resources/dictionary/")}}},
    };
}

QList<TWebLinkGroup> StartPageLinkGroups()
{
    const QString downloads = Page("courseware/");
    return {
        {QStringLiteral("课件下载"),
         {{1, QStringLiteral("音频课件下载"), downloads}, {2, QStringLiteral("视频课件下载"), downloads}}},
        {QStringLiteral("皮博课件库"),
         {{20, QStringLiteral("新概念英语"), Page("courseware/nce/")},
          {21, QStringLiteral("英语新闻"), Page("courseware/news/")},
          {22, QStringLiteral("英文歌曲"), Page("courseware/songs/")},
          {23, QStringLiteral("影视对白"), Page("courseware/films/")},
          {24, QStringLiteral("商务英语"), Page("courseware/business/")},
          {25, QStringLiteral("大学英语"), Page("courseware/college/")},
          {26, QStringLiteral("考研英语"), Page("courseware/postgraduate/")},
          {27, QStringLiteral("托福雅思"), Page("courseware/toefl-ielts/")},
          {28, QStringLiteral("少儿英语"), Page("courseware/children/")},
          {29, QStringLiteral("日常口语"), Page("courseware/daily/")},
          {30, QStringLiteral("更多课件"), Page("courseware/more/")}}},
        {QStringLiteral("皮博学习服务"),
         {{50, QStringLiteral("学习论坛"), Page("forum/")},
          {51, QStringLiteral("学习方法"), Page("methods/")},
          {52, QStringLiteral("课件制作"), Page("making/")},
          {53, QStringLiteral("软件下载"), Page("download/")},
          {54, QStringLiteral("使用帮助"), Page("help/")},
          {55, QStringLiteral("常见问题"), Page("faq/")},
          {56, QStringLiteral("意见反馈"), Page("feedback/")},
          {57, QStringLiteral("联系我们"), Page("contact/")}}},
    };
}

QString LinkAddress(const QList<TWebLinkGroup>& groups, int tag)
{
    for (const TWebLinkGroup& group : groups)
        for (const TWebLink& link : group.Links)
            if (link.Tag == tag)
                return link.Address;
    return QString();
}

QLabel* NewPlainLabel(const QString& text, QWidget* parent, const TFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font.ToQFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(font.Color));
    label->setPalette(palette);
    label->adjustSize();
    return label;
}

void SetRoundedCorners(QWidget* window, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, window->width(), window->height()), radius, radius);
    window->setMask(QRegion(path.toFillPolygon().toPolygon()));
}

TLinkLabel::TLinkLabel(const QString& caption, QWidget* parent) : QLabel(caption, parent)
{
    setTextFormat(Qt::PlainText);
    setMouseTracking(true);
    SetFont(FFont);
}

void TLinkLabel::SetFont(const TFont& font)
{
    FFont = font;
    setFont(font.ToQFont());
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, ToQColor(font.Color));
    setPalette(palette);
    adjustSize();
}

void TLinkLabel::SetFontColor(TColor color)
{
    TFont font = FFont;
    font.Color = color;
    SetFont(font);
}

void TLinkLabel::SetFontStyle(bool bold, bool underline)
{
    TFont font = FFont;
    font.Bold = bold;
    font.Underline = underline;
    SetFont(font);
}

void TLinkLabel::SetHandCursor(bool hand)
{
    if (hand)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void TLinkLabel::PerformClick()
{
    if (OnClick)
        OnClick();
}

// The handlers of the windows run inside Qt's event handling: nothing of ours
// may leave it.
void TLinkLabel::mousePressEvent(QMouseEvent* event)
{
    FLeftDown = event->button() == Qt::LeftButton;
    event->accept();
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = FLeftDown && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    FLeftDown = false;
    event->accept();
    if (!click)
        return;
    try {
        PerformClick();
    } catch (...) {  // a handler failed: the window stays as it is
    }
}

void TLinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    QLabel::mouseMoveEvent(event);
    try {
        if (OnMouseMove)
            OnMouseMove();
    } catch (...) {  // a handler failed: the window stays as it is
    }
}

void TLinkLabel::leaveEvent(QEvent* event)
{
    QLabel::leaveEvent(event);
    try {
        if (OnMouseLeave)
            OnMouseLeave();
    } catch (...) {  // a handler failed: the window stays as it is
    }
}
