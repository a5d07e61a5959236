// Opening and saving a project, and closing the window.

#include <exception>
#include <new>

#include "EditorState.h"
#include "FileError.h"
#include "PictureArchive.h"
#include "ProjectBaseline.h"
#include "ProjectFiles.h"
#include "ProjectRecovery.h"
#include "SaveAsUtf8Dialog.h"
#include "SaveChangesDialog.h"
#include "ScreenPictureSize.h"
#include "SoundMain.h"
#include "SoundOutput.h"
#include "TAddItemsForm.h"
#include "TProgressBarSink.h"
#include "Timeline.h"

namespace {

void LoadMemo(TMemo* memo, const QString& path) {
    const TLoadedText loaded = LoadMemoText(path);
    TTextFormat format{loaded.encoding, 0};
    const QString held = ToEditorText(loaded.text, format);
    memo->setPlainText(held);
    memo->Format = format;
}

QString SaveAsUtf8Question(const QString& path, const TTextSavePlan& plan) {
    if (plan.problem == TSaveProblem::MissingCharacter) {
        return QStringLiteral(
                   "%1 was read as Windows-1251, which cannot hold some of its characters (for example %2). "
                   "Save it as UTF-8?")
            .arg(path, plan.missing);
    }
    return QStringLiteral(
               "%1 was read as Windows-1251, but its bytes would read back as other letters. Save it as "
               "UTF-8?")
        .arg(path);
}

// The bytes a memo's text is saved as; false when the user would rather not save it as UTF-8.
bool PlanMemoSave(QWidget* parent, const TMemo& memo, const QString& path, TTextSavePlan* plan) {
    const QString text = FromEditorText(MemoText(memo), memo.Format);
    *plan = PlanTextSave(text, memo.Format.encoding);
    if (plan->problem == TSaveProblem::None) return true;
    if (!AskSaveAsUtf8(parent, SaveAsUtf8Question(path, *plan))) return false;
    *plan = PlanTextSave(text, TTextEncoding::Utf8);
    return true;
}

// Save: both texts are planned (and any question asked) before a single file is written, so
// that declining writes nothing. False when the user declined.
bool SaveProject(TAddItemsForm& form) {
    CheckProjectWritable(form);
    TTextSavePlan text;
    TTextSavePlan secondText;
    if (!PlanMemoSave(&form, *form.Memo1, TextName, &text) ||
        !PlanMemoSave(&form, *form.Memo2, TxrName, &secondText)) {
        return false;
    }
    try {
        SaveTextFile(TextName, text.bytes);
        form.Memo1->Format.encoding = text.encoding;
        SaveTextFile(TxrName, secondText.bytes);
        form.Memo2->Format.encoding = secondText.encoding;
        if (!WritePosFile(PosName)) throw EFileError(QStringLiteral("Cannot create file %1").arg(PosName));
    } catch (...) {
        ProjectSaveFailed(form);
        throw;
    }
    TakeProjectBaseline(form);
    ProjectSaved(form);
    return true;
}

// Takes the baseline when the open command ends, also when a later step of it fails: from the
// loaded text on, the window holds the new project.
class TBaselineOnExit {
  public:
    explicit TBaselineOnExit(const TAddItemsForm& form) : form_(form) {}
    ~TBaselineOnExit() {
        try {
            TakeProjectBaseline(form_);
        } catch (...) {
            // Out of memory while a failure unwinds: the previous baseline stays, which errs
            // towards asking once more before the project is dropped.
        }
    }
    TBaselineOnExit(const TBaselineOnExit&) = delete;
    TBaselineOnExit& operator=(const TBaselineOnExit&) = delete;

  private:
    const TAddItemsForm& form_;
};

}  // namespace

void TAddItemsForm::OpenBtnClick(QObject*) {
    // The picture "+" shares this dialog and leaves its JPEG filter behind.
    OD2->Filter = QStringLiteral("*.txt|*.txt");
    if (!OD2->Execute()) return;
    if (!CanDiscardChanges()) return;
    // An alignment of the project being dropped ends here, without a result.
    CancelAlign();
    const QString chosen = OD2->FileName;

    LoadMemo(Memo1, chosen);
    ForgetEditHistory();
    // Declared before the baseline, so that it ends after the baseline is taken.
    TOpenRecovery recovery(*this, chosen);
    TBaselineOnExit baseline(*this);

    // The sound plays from WaveImage, which decoding is about to reuse.
    StopSound();
    ReleaseSamples(EditorState.Samples);
    EditorState.Samples = nullptr;
    Player.Release();

    TextName = chosen;
    TxrName = CompanionName(chosen, QStringLiteral("txr"));
    const QString recordingName = CompanionName(chosen, QStringLiteral("mp3"));

    if (FileExists(TxrName)) LoadMemo(Memo2, TxrName);

    // A project without a usable recording is a text-only project: Samples stays null. A
    // recording whose timeline cannot be held (out of memory) leaves it null too; the rest of the
    // project is still loaded, so that every name and file of the window belongs to this project,
    // and the failure is shown at the end.
    Player.FileName = recordingName;
    std::exception_ptr outOfMemory;
    if (Player.Open()) {
        TProgressBarSink sink(ProgressBar1);
        try {
            Player.Decode(&EditorState.Samples, &sink, &EditorState.SampleCount);
        } catch (const std::bad_alloc&) {
            outOfMemory = std::current_exception();
        }
    }

    // A text-only project shows an empty view, not the previous project's waveform.
    if (!EditorState.Samples) ClearWave();
    DrawWave();
    SoundView->update();

    PosName = CompanionName(chosen, QStringLiteral("pos"));
    if (FileExists(PosName)) ReadPosFile(PosName);

    EditorState.ArchiveName = CompanionName(chosen, QStringLiteral("ims"));
    SetPictureDecodeSize(ScreenPictureDecodeSize());
    OpenArchive();
    // LoadPictures reports damaged pictures by throwing after it has filled the table: the strip
    // must repaint either way.
    ImsView->update();
    if (!outOfMemory) {
        LoadPictures();
        return;
    }
    try {
        LoadPictures();
    } catch (...) {
        // One dialog for the command: the missing waveform is the larger loss.
    }
    std::rethrow_exception(outOfMemory);
}

void TAddItemsForm::SaveBtnClick(QObject*) {
    // A read-only window refuses the save before asking anything about it.
    if (!ProjectReadOnly(*this) && !MaySaveWithoutLateRecords()) return;
    SaveProject(*this);
}

bool TAddItemsForm::CanDiscardChanges() {
    if (!ProjectChanged(*this)) return ProjectDropped(*this);
    if (ProjectReadOnly(*this)) return AskDiscardReadOnlyChanges(*this) && ProjectDropped(*this);
    switch (AskSaveChanges(this)) {
        case TSaveChangesAnswer::Save:
            // A failed save throws: the caller's handler ends and nothing is dropped. A save
            // the user declined or called off drops nothing either.
            return MaySaveWithoutLateRecords() && SaveProject(*this);
        case TSaveChangesAnswer::Discard:
            return ProjectDropped(*this);
        case TSaveChangesAnswer::Cancel:
            return false;
    }
    return false;
}

void TAddItemsForm::FormClose(QObject*) {
    CloseArchive();
    ProjectClosed(*this);
}
