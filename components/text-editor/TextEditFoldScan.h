#pragma once

// The fold region scanner: finds the fold ranges of a text from its fold
// regions (single characters or keywords, optionally whole words only, with
// nested regions and skip regions such as strings and comments in which
// nothing opens or closes).

#include "TextEditFolding.h"

#include <QtCore/QStringList>

#include <functional>

struct TFoldScanOptions {
    // Otherwise region and skip texts match in any case.
    bool CaseSensitive = false;
    // A run of this many leading spaces counts one indent step, as a tab does.
    int TabWidth = 8;
    // With a highlighter: true where the character (line and character from
    // 1) lies in a string or comment token; an opening or closing text there
    // is ignored.
    std::function<bool(int line, int character)> IgnoredAt;
};

// Appends the ranges found in lines to ranges (top-level list and flat list).
//
// Lines are numbered from 1. A range opens at its region's Open text and
// closes at the innermost open range of its level whose region has the same
// Close text; its Depth is the number of ranges open around it. A region
// with nested regions scans them up to its own Close. A region with
// NoNestedFolds ends at the next Close found ahead, and the scan goes on
// after it, so nothing nests inside; without a Close ahead it stays on its
// header line. Ranges still open at the end of the text end on the line
// before the last (never before their header line).
void ScanFoldRegions(const QStringList& lines, TFoldRegions& regions, TTextEditAllFoldRanges& ranges,
                     const TFoldScanOptions& options);
// The same on the lines joined by CR LF (no break after the last line).
void ScanFoldRegionsInText(QString text, TFoldRegions& regions, TTextEditAllFoldRanges& ranges,
                           const TFoldScanOptions& options);

// Upper-cases the Open and Close texts of every region, nested ones too.
void UpperCaseFoldRegions(TFoldRegions& regions);
