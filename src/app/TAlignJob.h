#pragma once
// An alignment running beside the window: the copied inputs, the worker thread, its cancel flag
// and its result. The window owns at most one; destroying it cancels and waits for the thread.

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "Aligner.h"
#include "EditorState.h"

struct TAlignJob {
    int Id = 0;                     // tells a finished job's late notice from a newer job's
    std::vector<int16_t> Samples;   // the recording as it was when the button was pressed
    QStringList Text;               // Memo1's lines as they were then
    std::vector<TItemRec> Records;  // every line's record as it was then
    TAlignRequest Request;          // points into Samples
    TAlignResult Result;            // written by the worker, read after it has ended
    std::atomic<bool> Cancel{false};
    std::thread Worker;

    ~TAlignJob() {
        Cancel = true;
        if (Worker.joinable()) Worker.join();
    }
};

// Shows the outcome of an alignment in a message box titled "Sorvelle".
void ShowAlignMessage(const QString& message);

// When set, ShowAlignMessage calls this instead of showing a box (tests record the messages).
inline std::function<void(const QString&)> AlignMessageOverride;
