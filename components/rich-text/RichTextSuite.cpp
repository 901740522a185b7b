#include "RichTextSuite.h"

#include "core/RDGraphUtils.h"
#include "core/RDStrUtils.h"
#include "document/RDDocTypes.h"
#include "document/RDItem.h"
#include "items/RDNoteItems.h"
#include "layout/CRDFData.h"
#include "viewer/RDAnimator.h"
#include "paint/RDClipboard.h"

void InstallRichTextSuite()
{
    // Every item kind of the suite is read and created by its number.
    RegisterSuiteItemKinds(SuiteItemKinds());
    // Graphics are made by their stored class name; an imported graphic stays as it is.
    CreateGraphicHook = DefaultCreateGraphic;
    AfterImportGraphicHook = DefaultAfterImportGraphic;
    // Addresses are recognised by the suite's own rules alone.
    UrlCheckHook = nullptr;
    // Bitmap-strip pictures animate in the documents of a viewer.
    MakeAnimatorHook = &MakeItemAnimator;
    // Drags run the system's drag loop; copies go to the application's clipboard.
    SetRDDragExec(nullptr);
    RDClipboardSink = nullptr;
    // The RTF export fills these. Until then a copied selection carries no
    // RTF, and a note's RTF leaves out the text of its document.
    RDSelectionRTFWriter = nullptr;
    SaveDocumentRTFHook = nullptr;
    MakeDocumentRTFTablesHook = nullptr;
}
