// Opening and saving a project, and closing the window.
#include "TAddItemsForm.h"

void TAddItemsForm::OpenBtnClick(QObject*) {}

void TAddItemsForm::SaveBtnClick(QObject*) {}

bool TAddItemsForm::CanDiscardChanges() { return true; }

void TAddItemsForm::FormClose(QObject*) {}
