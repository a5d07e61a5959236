#pragma once
// Unit-level objects of the window's unit: the one player, in static storage for the whole run.

#include "TMyPlayer0802.h"

extern TMyPlayer0802 Player;

// Nesting-counted unit start and end: the first initialisation constructs the item records, the
// names and the player; the finalisation that balances it releases the strings.
void SoundMainInitialization();
void SoundMainFinalization();
