// Playing the selected segment.
#include "EditorState.h"
#include "SoundMain.h"
#include "SoundOutput.h"
#include "TAddItemsForm.h"

void TAddItemsForm::BitBtn1Click(QObject*) {
    // While a segment plays its image is read from the player's buffer: the press is dropped, as
    // the output would refuse the new sound anyway.
    if (SoundIsPlaying()) return;
    Player.SetPlayBound(TMyPlayer0802::pbStart, EditorState.SelStart);
    Player.SetPlayBound(TMyPlayer0802::pbEnd, EditorState.SelEnd);
    Player.PlaySegment();
    // With the overlay down, a cursor follows the sound.
    if (SoundIsPlaying()) {
        playCursorTimer_.start();
        PlayCursorTick();
    }
}
