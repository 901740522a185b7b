#pragma once

// How a misspelled word is marked: a wavy underline in the style sheet's
// live-spelling colour, drawn by the word painter live spelling puts on the
// word's text item.

#include <QtCore/QRect>
#include <QtGui/QPolygon>

// The points of the wavy underline of a misspelled word under rect: from
// the left edge every 2 pixels while x < right (at most 1024), alternately
// 2 pixels above the bottom and at it; the last point moved to the right
// edge. Fewer than 2 points draw nothing.
QPolygon MisspellPolyline(const QRect& rect);
