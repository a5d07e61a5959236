// Playing the selected segment.
#include "TAddItemsForm.h"

void TAddItemsForm::BitBtn1Click(QObject*) {}
