// The waveform view: drawing, painting, clicks, and the view-change notification.
#include "TAddItemsForm.h"

void TAddItemsForm::DrawWave() {}

void TAddItemsForm::SoundViewPaint(QObject*) {}

void TAddItemsForm::SoundViewMouseUp(QObject*, TMouseButton, TShiftState, int, int) {}

void TAddItemsForm::Panel5Resize(QObject*) {}

void TAddItemsForm::CheckBox1Click(QObject*) { ViewChanged(); }

void ViewChanged() {}
