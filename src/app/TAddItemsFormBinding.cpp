// Binding text lines to segments, the second text's context pane, and the pane toggles.
#include "TAddItemsForm.h"

void TAddItemsForm::BitBtn3Click(QObject*) {}

void TAddItemsForm::Memo1MouseUp(QObject*, TMouseButton, TShiftState, int, int) {}

void TAddItemsForm::Memo2MouseUp(QObject*, TMouseButton, TShiftState, int, int) {}

void TAddItemsForm::RichEdit1MouseDown(QObject*, TMouseButton, TShiftState, int, int) {}

void TAddItemsForm::SpeedButton6Click(QObject*) {}

void TAddItemsForm::SpeedButton7Click(QObject*) {}
