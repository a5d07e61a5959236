#pragma once
// Never losing marking work. While the project in the window has unsaved changes (ProjectChanged),
// a snapshot of them is written into the user's recovery folder every RecoveryInterval, and at
// once when the program is asked to end by a signal; Open offers it back after a crash. A project
// is open in one window only: a lock held from Open to the window's close tells a second window,
// which opens the project read-only and can neither save it nor write its snapshot.

#include <QString>
#include <functional>

class TAddItemsForm;

// Held by the open command from the moment the chosen text is in Memo1 to the command's end, also
// when a later step fails. At the start it takes the project's lock, or finds that another window
// holds it; at the end, once the project's baseline is taken, it says so when the project opens
// read-only, or offers the unsaved work found for the project.
class TOpenRecovery {
  public:
    TOpenRecovery(TAddItemsForm& form, const QString& chosen);
    ~TOpenRecovery();
    TOpenRecovery(const TOpenRecovery&) = delete;
    TOpenRecovery& operator=(const TOpenRecovery&) = delete;

  private:
    TAddItemsForm& form_;
    QString chosen_;
};

// True while the window's project is open in another window.
bool ProjectReadOnly(const TAddItemsForm& form);
// Throws EFileError "NAME is open in another Sorvelle window; save it there." in such a window.
void CheckProjectWritable(const TAddItemsForm& form);
// Asked instead of "Save changes?" in such a window, whose changes cannot be saved: true when the
// user lets them go.
bool AskDiscardReadOnlyChanges(TAddItemsForm& form);

// The project's unsaved work was saved, or is let go (Discard, or there was none): its snapshot
// goes. ProjectDropped returns true, for the caller's answer.
void ProjectSaved(TAddItemsForm& form);
bool ProjectDropped(TAddItemsForm& form);
// A save failed part way: the files it did write are now newer than the snapshot, which would
// then not be offered after a crash; it is written again at once.
void ProjectSaveFailed(TAddItemsForm& form);
// The window closes: no more snapshots, and the lock is released.
void ProjectClosed(TAddItemsForm& form);
// The program is about to end on a signal: the unsaved work is written now, and waited for.
void SnapshotBeforeExit(TAddItemsForm& form);

// Where snapshots and locks live: RecoveryFolderOverride when set, otherwise "recovery" in the
// user's data folder for this program (QStandardPaths::AppLocalDataLocation). Empty when the
// system names no such folder.
QString RecoveryFolder();
inline QString RecoveryFolderOverride;
// The snapshot a project's work is kept in.
QString SnapshotPathFor(const QString& textName);

// How often the unsaved work is looked at and, when it changed, written; for the windows that
// open a project from now on.
inline constexpr int DefaultRecoveryInterval = 15000;
void SetRecoveryInterval(int milliseconds);
int RecoveryInterval();

// What the timer runs, for tests and the benchmark; returns once the GUI thread's part is done.
void RunRecoveryTick(TAddItemsForm& form);
// Returns once no snapshot waits to be written.
void WaitForSnapshotWrites(TAddItemsForm& form);
// When set, told the outcome of every snapshot write, on the GUI thread.
inline std::function<void(bool written)> SnapshotWriteObserver;
