#include "SoundMain.h"

#include "EditorState.h"

TMyPlayer0802 Player;

namespace {
int initCount = 0;

// Runs the unit's start before main() and its end after it, like any static object.
struct UnitGuard {
    UnitGuard() { SoundMainInitialization(); }
    // Not at process exit: the names live in other units, whose statics may already be destroyed
    // by then (the order across units is unspecified); each string releases itself.
    ~UnitGuard() = default;
} unitGuard;
}  // namespace

void SoundMainInitialization() {
    if (initCount++ != 0) return;
    // ItemTable, the names and Player are constructed by static initialisation of their units;
    // what is left is to start them empty.
    TextName.clear();
    PosName.clear();
    TxrName.clear();
    EditorState.ArchiveName.clear();
}

void SoundMainFinalization() {
    if (--initCount != 0) return;
    Player.FileName.clear();
    EditorState.ArchiveName.clear();
    TxrName.clear();
    PosName.clear();
    TextName.clear();
}
