#pragma once
// The size pictures are decoded for on this display.

#include <QSize>

// PictureDecodeSize at the largest device pixel ratio of the screens, so that a strip stays sharp
// on whichever screen the window is moved to.
QSize ScreenPictureDecodeSize();
