#pragma once

// Big pictures drawn once and kept: the first start draws such a picture and
// writes its pixels into the program folder's temp/pictures/; later starts
// map the kept file instead of drawing again. A kept file counts only for the
// executable that wrote it (its path, size and modification time), for the
// same picture size and for the same stamp the caller gives (the font
// families the picture's text is drawn in); anything else, a short or damaged
// file included, is drawn anew and written again. Nothing is kept where the
// folder cannot be written; the picture is then drawn at every start.

#include <QtCore/QSize>
#include <QtCore/QString>
#include <QtGui/QImage>

#include <functional>

namespace PictureKit {

// The kept picture of name in size, else draw() (which must give exactly that
// size), then kept. The image is in Format_RGB32; a kept one is read-only
// memory mapped from the file (writing to it copies it first).
QImage KeptPicture(const QString& name, QSize size, const QString& stamp, const std::function<QImage()>& draw);

// The file a picture is kept in.
QString KeptPictureFile(const QString& name);

}  // namespace PictureKit
