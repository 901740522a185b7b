#pragma once

// Where copied selections go, and the RTF form of a copied selection.

#include <functional>

#include "Graphics.h"

class QMimeData;
class TCustomRDData;
class TRDBackground;
class TRDStream;

// Puts a copy on the clipboard, which takes it: through RDClipboardSink when
// one is set (tests stand in for the clipboard with it), else on the
// application's clipboard.
void RDPutOnClipboard(QMimeData* data);
extern std::function<void(QMimeData* data)> RDClipboardSink;

// Writes the RTF of a document's selection (complete document, selection
// only, level 0, with the colour and background) into a stream; answers
// whether it did. Empty until the document RTF writer is there: a copy then
// carries no RTF.
extern std::function<bool(TCustomRDData& data, TRDStream& stream, TColor color, TRDBackground* background)>
    RDSelectionRTFWriter;
