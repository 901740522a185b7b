// dump_pictures FOLDER [PATTERN]: writes every registered picture as
// FOLDER/<name>.png and a contact sheet FOLDER/contact-sheet.png that shows each
// picture enlarged, as it is stored and keyed over a white, a title-blue and a
// dark ground, with its name and size. With a wildcard PATTERN ("Work*") only
// the matching pictures are written, for a closer look at one family.

#include "Graphics.h"
#include "PiboPictures.h"

#include <QtCore/QDir>
#include <QtCore/QRegularExpression>
#include <QtCore/QStringList>
#include <QtCore/QTextStream>
#include <QtGui/QFont>
#include <QtGui/QFontMetrics>
#include <QtGui/QGuiApplication>
#include <QtGui/QImage>
#include <QtGui/QPainter>

#include <algorithm>
#include <vector>

namespace {

const QColor SheetGround(0xF2, 0xF2, 0xF2);
const QColor Grounds[] = {QColor(0x1F, 0x6F, 0xC5), QColor(0x33, 0x33, 0x33)};
constexpr int Gap = 6;
constexpr int SheetWidth = 1500;
constexpr int KeyedPanes = 4;

bool IsKeyed(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == 0xFF00FF)
                return true;
    return false;
}

// Thin strips are shown stretched the way their controls stretch them.
QImage Shown(const QImage& image)
{
    QSize size = image.size();
    if (size.width() <= 2)
        size.setWidth(40);
    if (size.height() <= 2)
        size.setHeight(20);
    return size == image.size() ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QImage WithoutKey(const QImage& image)
{
    QImage clear = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < clear.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(clear.scanLine(y));
        for (int x = 0; x < clear.width(); ++x)
            if ((line[x] & 0xFFFFFF) == 0xFF00FF)
                line[x] = 0;
    }
    return clear;
}

struct Cell {
    QString Caption;
    QImage Picture;  // as shown (stretched strips)
    bool Keyed = false;
    int Scale = 1;
    QSize Size;  // of the whole cell
};

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    if (argc != 2 && argc != 3) {
        err << "usage: dump_pictures FOLDER [PATTERN]\n";
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path())) {
        err << "cannot make " << folder.path() << "\n";
        return 1;
    }

    RegisterPiboPictures();
    QStringList names = BitmapResourceNames();
    if (argc == 3) {
        const QRegularExpression pattern(
            QRegularExpression::wildcardToRegularExpression(QString::fromLocal8Bit(argv[2])));
        names = names.filter(pattern);
    }

    QFont font(MapFontName(QStringLiteral("Arial")));
    font.setPixelSize(11);
    const QFontMetrics metrics(font);

    std::vector<Cell> cells;
    for (const QString& name : names) {
        const QImage image = LoadBitmapResource(name);
        if (!image.save(folder.filePath(name + QStringLiteral(".png")))) {
            err << "cannot write " << name << ".png\n";
            return 1;
        }
        Cell cell;
        cell.Caption = QStringLiteral("%1  %2x%3").arg(name).arg(image.width()).arg(image.height());
        cell.Picture = Shown(image);
        cell.Keyed = IsKeyed(image);
        const int longest = std::max(cell.Picture.width(), cell.Picture.height());
        cell.Scale = std::clamp(128 / longest, 1, 4);
        const int panes = cell.Keyed ? KeyedPanes : 1;
        const int width = std::max(panes * (cell.Picture.width() * cell.Scale + Gap),
                                   metrics.horizontalAdvance(cell.Caption) + Gap);
        cell.Size = QSize(width, cell.Picture.height() * cell.Scale + metrics.height() + 3 * Gap);
        cells.push_back(cell);
    }

    // flow the cells into rows
    std::vector<QPoint> places;
    int x = Gap, y = Gap, rowHeight = 0;
    for (const Cell& cell : cells) {
        if (x + cell.Size.width() > SheetWidth && x > Gap) {
            x = Gap;
            y += rowHeight + Gap;
            rowHeight = 0;
        }
        places.emplace_back(x, y);
        x += cell.Size.width() + Gap;
        rowHeight = std::max(rowHeight, cell.Size.height());
    }

    int usedWidth = 0;
    for (std::size_t i = 0; i < cells.size(); ++i)
        usedWidth = std::max(usedWidth, places[i].x() + cells[i].Size.width() + Gap);
    QImage sheet(std::max(usedWidth, 100), y + rowHeight + Gap, QImage::Format_RGB32);
    sheet.fill(SheetGround);
    QPainter p(&sheet);
    p.setFont(font);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const Cell& cell = cells[i];
        const QPoint at = places[i];
        p.fillRect(QRect(at, cell.Size), Qt::white);
        p.setPen(QColor(0xC8, 0xC8, 0xC8));
        p.drawRect(QRect(at, cell.Size).adjusted(0, 0, -1, -1));
        const QSize scaled = cell.Picture.size() * cell.Scale;
        int px = at.x() + Gap / 2;
        const int py = at.y() + Gap;
        p.drawImage(QRect(QPoint(px, py), scaled), cell.Picture);
        if (cell.Keyed) {
            const QImage clear = WithoutKey(cell.Picture);
            px += scaled.width() + Gap;
            p.drawImage(QRect(QPoint(px, py), scaled), clear);
            for (const QColor& ground : Grounds) {
                px += scaled.width() + Gap;
                p.fillRect(QRect(QPoint(px, py), scaled), ground);
                p.drawImage(QRect(QPoint(px, py), scaled), clear);
            }
        }
        p.setPen(Qt::black);
        p.drawText(QPoint(at.x() + Gap / 2, py + scaled.height() + Gap + metrics.ascent()), cell.Caption);
    }
    p.end();
    const QString sheetPath = folder.filePath(QStringLiteral("contact-sheet.png"));
    if (!sheet.save(sheetPath)) {
        err << "cannot write " << sheetPath << "\n";
        return 1;
    }
    QTextStream(stdout) << names.size() << " pictures written to " << folder.path() << "\n";
    return 0;
}
