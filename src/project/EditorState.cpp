#include "EditorState.h"

#include <unistd.h>

#include <cstdlib>

// Static storage for the whole run. Constant-initialised, so they exist before the window unit's
// start touches them and outlive its end, whatever the order of the units.
constinit TEditorState EditorState;
constinit TItemRec ItemTable[ItemTableSize];
std::array<QImage, PictureTableSize> PictureTable;
constinit QString TextName;
constinit QString TxrName;
constinit QString PosName;

void ResetEditorState() {
    TForScroll* zoom = EditorState.ZoomScroller;
    TForScroll* pos = EditorState.PosScroller;
    QImage* bitmap = EditorState.WaveBitmap;
    // A calloc block from the sound library's AllocateSamples, released as its ReleaseSamples does.
    std::free(EditorState.Samples);
    if (EditorState.ArchiveFile != -1) ::close(EditorState.ArchiveFile);
    EditorState = TEditorState{};
    EditorState.ZoomScroller = zoom;
    EditorState.PosScroller = pos;
    EditorState.WaveBitmap = bitmap;
    for (TItemRec& rec : ItemTable) {
        rec.Flag = rec.Start = rec.Finish = 0;
        rec.PicCount = 0;
        for (int16_t& p : rec.Pics) p = 0;
    }
    for (QImage& slot : PictureTable) slot = QImage();
    TextName.clear();
    TxrName.clear();
    PosName.clear();
}
