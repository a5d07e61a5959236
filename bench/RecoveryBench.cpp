// What a recovery snapshot of a full project (1 MiB of text, 500 records) costs the GUI thread,
// through the window's own timer step: the look at an unchanged project, ProjectChanged alone,
// and a whole step after a change (the look, the copy of texts and records, the hand-over to the
// writer). The writer thread's part (encoding, checksum, write, flush, rename) is measured apart,
// and the whole snapshot done on the GUI thread is the baseline the step is compared with.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextCursor>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

#include "BenchClock.h"
#include "EditorState.h"
#include "ProjectBaseline.h"
#include "ProjectRecovery.h"
#include "RecoverySnapshot.h"
#include "TAddItemsForm.h"
#include "TOpenDialog.h"

namespace {

constexpr int Rounds = 60;

double Millis(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

struct Figures {
    double median, max, cpuMedian;
};

Figures Summary(std::vector<double> wall, std::vector<double> cpu) {
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], wall.back(), cpu[cpu.size() / 2]};
}

// One edit of the user's: a character typed at the end. The records stay as the baseline has
// them, so that ProjectChanged has to compare them all and then the texts: its slowest case.
void Edit(TAddItemsForm& form) {
    QTextCursor cursor(form.Memo1->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QStringLiteral("x"));
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    RecoveryFolderOverride = dir.filePath(QStringLiteral("state/recovery"));
    SetRecoveryInterval(24 * 3600 * 1000);  // the steps below are the only ones

    // 1 MiB of text in lines of 64 bytes, a short second text, every record in use.
    QByteArray text;
    for (int line = 0; text.size() < 1024 * 1024; ++line)
        text += QByteArray("Line ") + QByteArray::number(line).rightJustified(6, '0') +
                QByteArray(51, 'a' + char(line % 26)) + "\r\n";
    const QString textName = dir.filePath(QStringLiteral("lesson.txt"));
    {
        QFile file(textName);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) return 1;
        QFile second(dir.filePath(QStringLiteral("lesson.txr")));
        if (!second.open(QIODevice::WriteOnly) || second.write(QByteArray(64 * 1024, 'b')) != 64 * 1024)
            return 1;
    }
    TAddItemsForm form;
    form.show();
    TOpenDialog::ExecuteOverride = [textName](TOpenDialog& dialog) {
        dialog.FileName = textName;
        return true;
    };
    form.OpenBtnClick(form.OpenBtn);
    for (int i = 0; i < ItemTableSize; ++i) {
        ItemTable[i] = TItemRec();
        ItemTable[i].Flag = 1;
        ItemTable[i].Start = 11025 * i;
        ItemTable[i].Finish = 11025 * i + 9000;
    }
    TakeProjectBaseline(form);

    std::vector<double> idle, idleCpu, changed, changedCpu, step, stepCpu, writer, whole, wholeCpu;
    RunRecoveryTick(form);
    WaitForSnapshotWrites(form);
    for (int round = 0; round < Rounds; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        double c0 = ThreadCpuSeconds() * 1e3;
        RunRecoveryTick(form);
        idle.push_back(Millis(std::chrono::steady_clock::now() - t0));
        idleCpu.push_back(ThreadCpuSeconds() * 1e3 - c0);

        Edit(form);
        t0 = std::chrono::steady_clock::now();
        c0 = ThreadCpuSeconds() * 1e3;
        const bool isChanged = ProjectChanged(form);
        changed.push_back(Millis(std::chrono::steady_clock::now() - t0));
        changedCpu.push_back(ThreadCpuSeconds() * 1e3 - c0);
        if (!isChanged) return 1;

        t0 = std::chrono::steady_clock::now();
        c0 = ThreadCpuSeconds() * 1e3;
        RunRecoveryTick(form);
        const auto handedOver = std::chrono::steady_clock::now();
        step.push_back(Millis(handedOver - t0));
        stepCpu.push_back(ThreadCpuSeconds() * 1e3 - c0);
        WaitForSnapshotWrites(form);
        writer.push_back(Millis(std::chrono::steady_clock::now() - handedOver));
        whole.push_back(Millis(std::chrono::steady_clock::now() - t0));
        wholeCpu.push_back(stepCpu.back());
    }
    TRecoverySnapshot written;
    if (ReadSnapshotFile(SnapshotPathFor(textName), &written) != TSnapshotRead::Found) return 1;

    const Figures i = Summary(idle, idleCpu);
    const Figures c = Summary(changed, changedCpu);
    const Figures s = Summary(step, stepCpu);
    const Figures w = Summary(writer, writer);
    const Figures b = Summary(whole, wholeCpu);
    std::printf(
        "recovery snapshot of %.2f MiB of text and %d records, %d rounds (ms, wall: median / max; "
        "GUI thread CPU median)\n",
        double(text.size()) / (1024 * 1024), ItemTableSize, Rounds);
    std::printf("  timer step, nothing changed      %8.3f / %8.3f  cpu %8.3f\n", i.median, i.max,
                i.cpuMedian);
    std::printf("  ProjectChanged alone             %8.3f / %8.3f  cpu %8.3f\n", c.median, c.max,
                c.cpuMedian);
    std::printf("  timer step after an edit         %8.3f / %8.3f  cpu %8.3f   (target < 5 ms)\n", s.median,
                s.max, s.cpuMedian);
    std::printf("  writer thread: encode+write+sync %8.3f / %8.3f\n", w.median, w.max);
    std::printf("  baseline: whole snapshot on the GUI thread %8.3f ms; the step takes %.2f of it\n",
                b.median, s.median / b.median);
    std::printf("  snapshot file: %lld bytes\n",
                static_cast<long long>(QFileInfo(SnapshotPathFor(textName)).size()));
    ProjectClosed(form);
    return 0;
}
