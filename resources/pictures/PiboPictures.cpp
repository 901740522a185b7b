#include "PiboPictures.h"

#include "PictureKit.h"

void RegisterPiboPictures()
{
    PictureKit::RegisterSpeedButtonPictures();
    PictureKit::RegisterPanelButtonPictures();
    PictureKit::RegisterBarPictures();
    PictureKit::RegisterFramePictures();
    PictureKit::RegisterEditorPictures();
    PictureKit::RegisterWindowPictures();
    PictureKit::RegisterRichTextPictures();
}
