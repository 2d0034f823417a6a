#pragma once
// The transport bar's built-in button images and their registration in the looks. The main
// window owns the image list and the transport image variables; until it exists they live
// here, in the shape it will take them over.

#include "gui/looks.h"
#include "platform/gdi/imagelist.h"

#include <array>

// Draws the eighteen built-in images (order of TranspImageNames, 20 x 20 each) into the list,
// opaque: a button glyph and its lit "_active" variant.
void DrawTransportImages(platform::TImageList& images);

class TTransportLooks {
public:
    // Makes the image list.
    TTransportLooks();

    platform::TImageList images{20, 20};
    // Each built-in name's index in GuiLooks; -1 until registered.
    std::array<int, TranspImageCount> TranspImageIds;

    // Registers the eighteen images in GuiLooks (appending, so a restore adds new entries) and
    // points the transport image variables at them.
    void LoadTransportImages();
    // The built-in images put back into the first entry of each name (the one IndexOf finds;
    // one is added only for a name that is missing), so the set keeps one entry per name and
    // the transport image variables keep their indexes.
    void RestoreTransportImages();
    // Creates GuiLooks, registers the built-in images and loads the looks file named in
    // [Gui] Filename when it exists. A file that fails to load is reported as any failed
    // command is, and the images read so far stay: the main window's creation goes on.
    void InitLooks();
};
