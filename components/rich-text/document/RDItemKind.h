#pragma once

// The kinds of items, by the style number (StyleNo) an item carries, and the
// kinds of the RDF records that hold no item. A text item carries its text
// style, 0 and above; every other kind a negative number of its own, stored
// as it stands (RDF record headers, item lists): these values never change.
// -1 to -9 belong to the document itself and cannot be registered.

#include <cstdint>

enum TRDItemKind : int32_t {
    BreakStyleNo = -1,
    PictureStyleNo = -3,
    HotspotStyleNo = -4,
    ControlStyleNo = -5,
    BulletStyleNo = -6,
    HotPictureStyleNo = -10,
    MarkerStyleNo = -11,
    TabStyleNo = -12,
    TableStyleNo = -60,
    LabelStyleNo = -200,
    SeqStyleNo = -202,
    FootnoteStyleNo = -203,
    EndnoteStyleNo = -204,
    NoteReferenceStyleNo = -205,

    // RDF records without an item: a checkpoint, the document's background,
    // the format version, extra data (document parameters, list state).
    RDFCheckpointRecord = -2,
    RDFBackgroundRecord = -7,
    RDFVersionRecord = -8,
    RDFExtraDataRecord = -9,
};
