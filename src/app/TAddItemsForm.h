#pragma once
// The one window of Sorvelle. Its fields are its components; the editing state lives in the
// globals of EditorState.h. Every user action is a handler method that runs to its end.

#include <QCheckBox>
#include <QCloseEvent>
#include <QFrame>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>

#include "MouseTypes.h"
#include "TImage.h"
#include "TImageList.h"
#include "TListBox.h"
#include "TMemo.h"
#include "TOpenDialog.h"
#include "TPaintBox.h"
#include "TRichEdit.h"
#include "TSplitter.h"
#include "ViewWheel.h"

class TEditHistory;

struct TAlignJob;
struct TAlignOutcome;
struct TAlignResult;

class TAddItemsForm : public QWidget {
    Q_OBJECT
  public:
    explicit TAddItemsForm(QWidget* owner = nullptr);
    ~TAddItemsForm() override;

    // Components, in declaration order; all owned by their Qt parents except the three below.
    std::unique_ptr<TOpenDialog> OD2;
    std::unique_ptr<TImageList> IL;
    std::unique_ptr<TOpenDialog> OpenPictureDialog1;
    QFrame* Panel1;
    QFrame* Panel2;
    TListBox* ListBox1;
    QFrame* Panel3;
    QFrame* Panel4;
    QToolButton* ImsToLeft_SB;
    QToolButton* ImsToRightSB;
    QToolButton* SpeedButton1;
    TPaintBox* ImsView;
    QFrame* Panel5;
    TPaintBox* SoundView;
    TImage* SqzImg;
    TImage* PosImg;
    QPushButton* BitBtn3;
    TPaintBox* SntImsView;
    QFrame* Panel6;
    QToolButton* SpeedButton2;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton4;
    QToolButton* SpeedButton5;
    TMemo* Memo2;
    TSplitter* Splitter1;
    TSplitter* Splitter2;
    QFrame* Panel7;
    QPushButton* SaveBtn;
    QPushButton* OpenBtn;
    QToolButton* SpeedButton6;
    QFrame* Panel8;
    TRichEdit* RichEdit1;
    QToolButton* SpeedButton7;
    QPushButton* BitBtn1;
    TMemo* Memo1;
    QCheckBox* CheckBox1;
    QProgressBar* ProgressBar1;
    QPushButton* AlignBtn;  // on Panel7; created by SetUpAlign
    // The segment overlay: stored segments and the playback cursor on the waveform.
    QToolButton* SpeedButton8;

    // Handlers.
    void FormClose(QObject* Sender);
    void OpenBtnClick(QObject* Sender);
    void SaveBtnClick(QObject* Sender);
    void SoundViewPaint(QObject* Sender);
    void SoundViewMouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void Panel5Resize(QObject* Sender);
    void BitBtn1Click(QObject* Sender);
    void BitBtn3Click(QObject* Sender);
    void Memo1MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void Memo2MouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void RichEdit1MouseDown(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void ImsViewPaint(QObject* Sender);
    void ImsViewMouseUp(QObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void SntImsViewPaint(QObject* Sender);
    void SpeedButton1Click(QObject* Sender);
    void SpeedButton2Click(QObject* Sender);
    void SpeedButton3Click(QObject* Sender);
    void SpeedButton4Click(QObject* Sender);
    void SpeedButton5Click(QObject* Sender);
    void ImsToLeft_SBClick(QObject* Sender);
    void ImsToRightSBClick(QObject* Sender);
    void SpeedButton6Click(QObject* Sender);
    void SpeedButton7Click(QObject* Sender);
    void CheckBox1Click(QObject* Sender);
    // "Align" starts an alignment of the loaded project in a worker thread; while it runs the
    // button (caption "Cancel") and Escape cancel it.
    void AlignBtnClick(QObject* Sender);
    // Stops a running alignment and waits for its thread; nothing changes. No-op when none runs.
    void CancelAlign();
    // The result of an alignment into ItemTable as one step (records before -> after), the list
    // rebuilt.
    TAlignOutcome ApplyAlignResult(const TAlignResult& result);

    // Review: keys, the wheel, the overlay, the list's double click, one undo history.
    void SpeedButton8Click(QObject* Sender);
    void SoundViewMouseWheel(QObject* Sender, TShiftState Shift, int DeltaX, int DeltaY, int X, int Y);
    void ListBox1DblClick(QObject* Sender);
    // F6: shows the caret line's segment, as a Shift and left click on the line does, and plays it.
    void PlayCaretLineSegment();
    // F8: "SetText", then the caret to the next line and both marks to the stored end.
    void StoreSelectionAndGoToNextLine();
    void UndoStep();
    void RedoStep();
    // Runs apply, which may change any number of item records, as one step of the undo history.
    void RecordItemsChange(const QString& text, const std::function<void()>& apply);
    TEditHistory& History() { return *history_; }

    // Renders the waveform, its time grid and the selection into WaveBitmap; never repaints.
    void DrawWave();

    // Asked before the project in the window is dropped (close, Open of another project): true
    // when it may go.
    bool CanDiscardChanges();

  protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateComponents();
    // Every component carries its layout name as its object name.
    void NameComponents();
    // Empties WaveBitmap to white at the size of SoundView.
    void ClearWave();
    void WireEvents();
    void SetUpAlign();
    void ShowAlignRunning(bool running);
    void FinishAlign(int id);
    void AlignFinished();

    std::unique_ptr<TAlignJob> AlignJob;  // the running alignment, if any
    void WireReview();
    // Selection, marks and view on a line's segment, redrawn: what a Shift click on the line shows.
    void ShowLineSegment(int line);
    // After Open has loaded the new text: no step of the previous project can be undone.
    void ForgetEditHistory();
    // Before a save: false when records of lines from 500 on would be lost and the user cancels.
    bool MaySaveWithoutLateRecords();
    // The caret line moved or records changed: highlight, bands and line strip follow.
    void CaretMoved();
    void RecordsChangedOutsideHandlers();
    bool OverlayShown() const;
    // The memos' own undo keys go to the window's history.
    bool MemoUndoKey(QObject* watched, QEvent* event);
    // Moves the playback cursor to where the sound is, or removes it once the sound has ended.
    void PlayCursorTick();

    TEditHistory* history_ = nullptr;  // owned by the window (Qt parent)
    TWheelNotches panNotches_;
    TWheelNotches zoomNotches_;
    QTimer playCursorTimer_;
    int playCursorX_ = -1;  // column of the playback cursor in SoundView; -1 when none is shown
    int caretLine_ = 0;     // Memo1's caret line as last highlighted
};

// The one window, set when the application creates it.
extern TAddItemsForm* AddItemsForm;

// The single notification of a changed view: clamps ViewStart at 0, redraws and repaints.
void ViewChanged();
