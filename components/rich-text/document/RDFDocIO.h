#pragma once

// RDF of documents: the layout block and the header writer shared by the
// document and its items.

#include <cstdint>

#include <QtCore/QByteArray>

#include "document/RDDocTypes.h"
#include "core/RDLists.h"
#include "core/RDStrUtils.h"

class TCustomRDData;

// The version record written first.
constexpr int RDFVersion = 1;
constexpr int RDFSubVersion = 3;

// Take style numbers as read, without maps or range checks.
extern bool RDFSkipStyleChecks;
// A selection inside one nested item is written by that item.
extern bool RDFSaveNestedSelection;

// Nested documents read from RDF (notes, table cells) stop at this depth.
constexpr int RDFMaxNestingDepth = 64;

// Margins and text widths read from a layout block are bounded to
// 0..RDFMaxLayoutExtent pixels (a text width of 0 means none).
constexpr int32_t RDFMaxLayoutExtent = 32767;

// The layout of a saved document or part: margins and text widths of the
// viewer, and whether the part begins or ends inside a paragraph.
class TRDLayoutInfo {
public:
    int32_t LeftMargin = 0;
    int32_t RightMargin = 0;
    int32_t TopMargin = 0;
    int32_t BottomMargin = 0;
    int32_t MinTextWidth = 0;
    int32_t MaxTextWidth = 0;
    TRDBiDiMode BiDiMode = TRDBiDiMode::rdbdUnspecified;
    bool FirstParaAborted = false;
    bool LastParaAborted = false;
    int32_t FirstMarkerListNo = -1;
    int32_t FirstMarkerLevel = 0;
    bool Loaded = false;

    // The block: Form, Size and what Size counts.
    QByteArray SaveToBytes(bool ownRoot) const;
    // Raises ERichDocError "Invalid RDF format" for a block that does not
    // hold what its Size and Form say. Margins and widths outside
    // 0..RDFMaxLayoutExtent are brought to the nearer end.
    void LoadFromBytes(const QByteArray& data);
};

// A paragraph style reference: its number, or with rdfoUseStyleNames its
// quoted name.
QByteArray RDFParaStyleToString(TCustomRDData* rdData, int paraNo);
QByteArray RDFTextStyleToString(TCustomRDData* rdData, int styleNo);
// "%d %d %s %d %d %s %s": a non-text item's header line.
void RDFWriteItemHeader(TRDStream& stream, TCustomRDData* rdData, int styleNo, int lineCount, int paraNo,
                        uint8_t options, int dataMode, const TRDTag& tag, const QByteArray& tail);
