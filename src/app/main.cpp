// Program entry: reads no command line; runs the one window until it is closed; returns 0.
#include <QApplication>

#include "ExceptionDialog.h"
#include "SorvelleApplication.h"
#include "TAddItemsForm.h"

int main(int argc, char** argv) {
    SorvelleApplication app(argc, argv);
    ShowExceptionsOf([] {
        TAddItemsForm form;
        form.show();
        SorvelleApplication::exec();
    });
    return 0;
}
