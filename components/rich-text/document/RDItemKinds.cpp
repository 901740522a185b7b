// The item kinds the suite itself knows, by StyleNo. CreateItemByStyleNo
// finds them in the registry from its first use on; each item unit adds its
// kinds here, one line each.

#include "RDControlItems.h"
#include "RDItem.h"
#include "RDLabelItems.h"
#include "RDMarkerItems.h"
#include "RDNoteItems.h"
#include "RDPictureItems.h"
#include "RDTextItems.h"

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
    };
}
