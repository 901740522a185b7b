#pragma once

#include <QtCore/QString>
#include <QtCore/QStringList>

// The one formatter for format strings that come from data (default style
// names, list-level texts, sequence texts, INI key patterns). It knows the
// class library's string directive only:
//   %s  %n:s  %-ws  %w.ps  %.ps  %%
// and %d (same index, width and precision, the precision the least number of
// digits) for an argument that is a decimal integer
// (n the 0-based argument index, w the width, padded with spaces on the left
// or, with "-", on the right; p the most characters taken). Any other
// directive, a missing argument or a format ending inside a directive raises
// ERichDocError. Arguments are never interpreted as formats.
QString RDFormat(const QString& format, const QStringList& args);
