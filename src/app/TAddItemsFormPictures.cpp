// The two picture strips and their buttons.
#include "TAddItemsForm.h"

void TAddItemsForm::ImsViewPaint(QObject*) {}

void TAddItemsForm::ImsViewMouseUp(QObject*, TMouseButton, TShiftState, int, int) {}

void TAddItemsForm::SntImsViewPaint(QObject*) {}

void TAddItemsForm::SpeedButton1Click(QObject*) {}

void TAddItemsForm::SpeedButton2Click(QObject*) {}

void TAddItemsForm::SpeedButton3Click(QObject*) {}

void TAddItemsForm::SpeedButton4Click(QObject*) {}

void TAddItemsForm::SpeedButton5Click(QObject*) {}

void TAddItemsForm::ImsToLeft_SBClick(QObject*) {}

void TAddItemsForm::ImsToRightSBClick(QObject*) {}
