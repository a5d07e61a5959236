// Program entry: runs the one window until it is closed; returns 0. The command line may name a
// project's text to open at start, as "Open" with that name would; Qt's own options are not read.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <utility>

#include "ExceptionDialog.h"
#include "ProjectRecovery.h"
#include "SorvelleApplication.h"
#include "SorvelleVersion.h"
#include "TAddItemsForm.h"
#include "TOpenDialog.h"
#include "TerminationSignals.h"

namespace {

// Passed by the desktop entry: a menu starts programs in no particular folder, and the entry
// cannot name the user's home folder (Path= does not expand ~ or $HOME).
const char* const HomeFolderOption = "--home-folder";

void PrintUsage(FILE* out) {
    std::fprintf(out,
                 "usage: sorvelle [--home-folder] [FILE.txt]\n\n"
                 "Starts the editor; with FILE.txt, opens that project as \"Open\" would.\n\n"
                 "options:\n"
                 "  --home-folder   start in the home folder (the Open dialog starts in the current folder)\n"
                 "  -h, --help      show this help\n"
                 "  --version       print the version\n");
}

struct TCommandLine {
    QString project;  // absolute, or empty
    bool homeFolder = false;
    int exitCode = -1;  // >= 0: end at once with this code
};

TCommandLine ParseCommandLine(int argc, char** argv) {
    TCommandLine line;
    bool optionsEnd = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!optionsEnd && std::strcmp(a, "--") == 0) {
            optionsEnd = true;
        } else if (!optionsEnd && (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)) {
            PrintUsage(stdout);
            line.exitCode = 0;
            return line;
        } else if (!optionsEnd && std::strcmp(a, "--version") == 0) {
            std::printf("sorvelle %s\n", SorvelleVersion);
            line.exitCode = 0;
            return line;
        } else if (!optionsEnd && std::strcmp(a, HomeFolderOption) == 0) {
            line.homeFolder = true;
        } else if (!optionsEnd && a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "sorvelle: unknown option '%s' (see sorvelle --help)\n", a);
            line.exitCode = 2;
            return line;
        } else if (!line.project.isEmpty()) {
            std::fprintf(stderr, "sorvelle: more than one file given (see sorvelle --help)\n");
            line.exitCode = 2;
            return line;
        } else {
            // Absolute, as the dialog gives it, and before the folder changes.
            line.project = QDir::current().absoluteFilePath(QFile::decodeName(a));
        }
    }
    return line;
}

// The command line stands in for the user: the dialog answers with the name, and the open command
// runs from its first step, with the messages and rules of a click on "Open".
void OpenAtStart(TAddItemsForm& form, const QString& name) {
    auto previous = std::exchange(TOpenDialog::ExecuteOverride, [name](TOpenDialog& dialog) {
        dialog.FileName = name;
        return true;
    });
    RunHandler([&form] { form.OpenBtnClick(form.OpenBtn); });
    TOpenDialog::ExecuteOverride = std::move(previous);
}

// The tests of a crash or a kill cannot wait for the snapshots' usual interval.
void TakeRecoveryIntervalFromEnvironment() {
    bool ok = false;
    const int milliseconds = qEnvironmentVariableIntValue("SORVELLE_RECOVERY_INTERVAL_MS", &ok);
    if (ok && milliseconds > 0) SetRecoveryInterval(milliseconds);
}

}  // namespace

int main(int argc, char** argv) {
    const TCommandLine line = ParseCommandLine(argc, argv);
    if (line.exitCode >= 0) return std::fflush(stdout) == 0 ? line.exitCode : 1;
    if (line.homeFolder) QDir::setCurrent(QDir::homePath());

    // Qt reads its own options (-style, -geometry, ...) from the arguments it is given: none.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    SorvelleApplication app(qtArgc, qtArgv);
    TakeRecoveryIntervalFromEnvironment();
    ShowExceptionsOf([&line] {
        TAddItemsForm form;
        InstallTerminationSignals([] {
            if (AddItemsForm) SnapshotBeforeExit(*AddItemsForm);
        });
        form.show();
        // Once the window is up, so that the progress of decoding shows in it.
        if (!line.project.isEmpty()) {
            QTimer::singleShot(0, &form, [&form, &line] { OpenAtStart(form, line.project); });
        }
        SorvelleApplication::exec();
    });
    return 0;
}
