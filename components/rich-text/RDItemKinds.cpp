// The item kinds the suite itself knows, by StyleNo. InstallRichTextSuite
// puts them in the registry; each item unit adds its kinds here, one line
// each.

#include "items/RDControlItems.h"
#include "document/RDItem.h"
#include "items/RDLabelItems.h"
#include "items/RDMarkerItems.h"
#include "items/RDNoteItems.h"
#include "items/RDPictureItems.h"
#include "document/RDTextItems.h"
#include "tables/RDTable.h"

std::vector<TRichDocItemTypeInfo> SuiteItemKinds()
{
    return {
        {BreakStyleNo, &NewRDItem<TRDBreakItemInfo>},
        {TabStyleNo, &NewRDItem<TRDTabItemInfo>},
        {PictureStyleNo, &NewRDItem<TRDGraphicItemInfo>},
        {HotPictureStyleNo, &NewRDItem<TRDHotGraphicItemInfo>},
        {BulletStyleNo, &NewRDItem<TRDBulletItemInfo>},
        {HotspotStyleNo, &NewRDItem<TRDHotspotItemInfo>},
        {ControlStyleNo, &NewRDItem<TRDControlItemInfo>},
        {MarkerStyleNo, &NewRDItem<TRDMarkerItemInfo>},
        {LabelStyleNo, &NewRDItem<TRDLabelItemInfo>},
        {SeqStyleNo, &NewRDItem<TRDSeqItemInfo>},
        {EndnoteStyleNo, &NewRDItem<TRDEndnoteItemInfo>},
        {FootnoteStyleNo, &NewRDItem<TRDFootnoteItemInfo>},
        {NoteReferenceStyleNo, &NewRDItem<TRDNoteReferenceItemInfo>},
        {TableStyleNo, &NewRDItem<TRDTableItemInfo>},
    };
}
