#pragma once

// A list of pictures of one size, drawn by index.

#include <cstdint>
#include <vector>

#include <QtGui/QColor>
#include <QtGui/QImage>

class QPainter;

class TImageList {
public:
    TImageList(int width, int height) : Width(width), Height(height) {}

    const int Width;
    const int Height;
    int32_t Tag = 0;

    int Count() const { return static_cast<int>(FImages.size()); }
    bool ValidIndex(int index) const { return index >= 0 && index < Count(); }
    // Scaled to the list's size; answers the new index.
    int Add(const QImage& image);
    // A null image for an index outside the list.
    QImage Image(int index) const;
    // Draws image index at x, y; with a valid blend colour, half of it mixed
    // over the image's visible pixels. Nothing for an index outside the list.
    void Draw(QPainter& painter, int x, int y, int index, const QColor& blend = QColor()) const;

private:
    std::vector<QImage> FImages;
};
