// "Align": the project's lines found in its recording automatically, in a worker thread, while
// the window stays usable. The inputs are copied when the button is pressed; the result goes
// into ItemTable in one step when the work ends.
#include <QApplication>
#include <QMessageBox>
#include <QShortcut>
#include <QTextBlock>
#include <QTimer>

#include "AlignProject.h"
#include "EditorState.h"
#include "ExceptionDialog.h"
#include "LineRecords.h"
#include "TAddItemsForm.h"
#include "TAlignJob.h"

void ShowAlignMessage(const QString& message) {
    if (AlignMessageOverride) {
        AlignMessageOverride(message);
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Sorvelle"), message, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

namespace {

bool SameSegment(const TItemRec& a, const TItemRec& b) {
    return a.Flag == b.Flag && a.Start == b.Start && a.Finish == b.Finish;
}

int LastJobId = 0;

QStringList MemoLines(const QPlainTextEdit& memo) {
    QStringList lines;
    for (QTextBlock b = memo.document()->begin(); b.isValid(); b = b.next()) lines << b.text();
    return lines;
}

QString FailureMessage(const TAlignResult& result) {
    switch (result.Status) {
        case TAlignStatus::NoRecording:
            return QStringLiteral("Open a project with a recording first.");
        case TAlignStatus::NoLines:
            return QStringLiteral("No line to align: every line is empty or has a segment.");
        case TAlignStatus::NoVoice:
            return QStringLiteral("No speech synthesizer voice for language \"%1\".")
                .arg(QString::fromStdString(result.Voice));
        case TAlignStatus::Ok:
        case TAlignStatus::Cancelled:
            break;
    }
    return {};
}

}  // namespace

void TAddItemsForm::SetUpAlign() {
    AlignBtn = new QPushButton(QStringLiteral("Align"), Panel7);
    AlignBtn->setGeometry(360, 9, 73, 25);
    AlignBtn->show();
    connect(AlignBtn, &QAbstractButton::clicked, this,
            [this] { RunHandler([&] { AlignBtnClick(AlignBtn); }); });
    // Escape stops a running alignment like "Cancel"; otherwise it is left to the focused widget.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setObjectName(QStringLiteral("AlignEscape"));
    escape->setEnabled(false);
    connect(escape, &QShortcut::activated, this, [this] { RunHandler([&] { CancelAlign(); }); });
}

void TAddItemsForm::ShowAlignRunning(bool running) {
    AlignBtn->setText(running ? QStringLiteral("Cancel") : QStringLiteral("Align"));
    if (auto* escape = findChild<QShortcut*>(QStringLiteral("AlignEscape"))) escape->setEnabled(running);
    if (running) {
        ProgressBar1->setRange(0, 1000);
        ProgressBar1->setValue(0);
    }
    ProgressBar1->setVisible(running);
}

void TAddItemsForm::AlignBtnClick(QObject*) {
    if (AlignJob) {
        CancelAlign();
        return;
    }
    if (!EditorState.Samples || EditorState.SampleCount <= 0) {
        ShowAlignMessage(QStringLiteral("Open a project with a recording first."));
        return;
    }
    auto job = std::make_unique<TAlignJob>();
    job->Id = ++LastJobId;
    job->Samples.assign(EditorState.Samples, EditorState.Samples + EditorState.SampleCount);
    job->Text = MemoLines(*Memo1);
    job->Records = AllLineRecords();
    job->Request = MakeProjectRequest(job->Text, ItemTable, job->Samples.data(), int32_t(job->Samples.size()),
                                      TAlignSelection{}, "");
    bool any = false;
    for (const TAlignLine& line : job->Request.Lines) any = any || (line.Wanted && IsSpeakable(line.Text));
    if (!any) {
        ShowAlignMessage(QStringLiteral("No line to align: every line is empty or has a segment."));
        return;
    }
    ShowAlignRunning(true);
    TAlignJob* running = job.get();
    const int id = job->Id;
    job->Worker = std::thread([this, running, id] {
        // Progress and the end reach the window through its event queue; events still queued
        // when the window goes are dropped with it.
        running->Result = AlignLines(
            running->Request,
            [this](int done, int) {
                QMetaObject::invokeMethod(
                    this,
                    [this, done] {
                        if (AlignJob) ProgressBar1->setValue(done);
                    },
                    Qt::QueuedConnection);
            },
            &running->Cancel);
        QMetaObject::invokeMethod(
            this, [this, id] { FinishAlign(id); }, Qt::QueuedConnection);
    });
    AlignJob = std::move(job);
}

void TAddItemsForm::CancelAlign() {
    if (!AlignJob) return;
    // Waits for the worker, which stops at its next check of the flag; its result is dropped.
    AlignJob.reset();
    ShowAlignRunning(false);
}

void TAddItemsForm::FinishAlign(int id) {
    if (!AlignJob || AlignJob->Id != id) return;
    // The result changes ItemTable: it waits until no other handler runs (a dialog of one, or a
    // command in progress), so that no handler sees the records change under it.
    if (HandlerRunning()) {
        QTimer::singleShot(20, this, [this, id] { FinishAlign(id); });
        return;
    }
    RunHandler([this] { AlignFinished(); });
}

void TAddItemsForm::AlignFinished() {
    std::unique_ptr<TAlignJob> job = std::move(AlignJob);
    if (job->Worker.joinable()) job->Worker.join();
    ShowAlignRunning(false);
    if (job->Result.Status != TAlignStatus::Ok) {
        if (job->Result.Status != TAlignStatus::Cancelled) ShowAlignMessage(FailureMessage(job->Result));
        return;
    }
    // Lines typed or deleted while it ran moved the records with their lines: the segments go to
    // the lines that were aligned, wherever they stand now. A line whose segment changed meanwhile
    // (stored by hand, erased, undone) keeps what the user did; its pictures do not matter here.
    const std::vector<int> lineNow = LineMapByText(job->Text, MemoLines(*Memo1));
    const std::vector<TItemRec> records = AllLineRecords();
    TAlignResult moved = job->Result;
    moved.Lines.assign(size_t(Memo1->document()->blockCount()), TLineSegment{});
    for (size_t line = 0; line < job->Result.Lines.size() && line < lineNow.size(); ++line) {
        const int now = lineNow[line];
        if (now < 0 || size_t(now) >= moved.Lines.size() || size_t(now) >= records.size()) continue;
        if (line < job->Records.size() && !SameSegment(records[size_t(now)], job->Records[line])) continue;
        moved.Lines[size_t(now)] = job->Result.Lines[line];
    }
    const TAlignOutcome outcome = ApplyAlignResult(moved);
    ShowAlignMessage(AlignSummary(outcome));
}

TAlignOutcome TAddItemsForm::ApplyAlignResult(const TAlignResult& result) {
    // The whole result is one step of the undo history.
    TAlignOutcome outcome;
    RecordItemsChange(QStringLiteral("Align"), [&] { outcome = ApplyAlignment(result, ItemTable); });
    // The list shows the new records as after a click on the caret line.
    const QPoint caret = Memo1->ClientFromViewport(Memo1->cursorRect().center());
    Memo1MouseUp(Memo1, mbLeft, 0, caret.x(), caret.y());
    return outcome;
}
