#pragma once
// The window fixture for reviewing: the window active (so that its keys reach it), a recording
// in the player and a fake sound output that reports how far it has played.

#include <QTextBlock>
#include <QWheelEvent>
#include <vector>

#include "../sound/FakeSoundOutput.h"
#include "EditorState.h"
#include "LineRecords.h"
#include "SoundMain.h"
#include "TEditHistory.h"
#include "Timeline.h"
#include "WindowTest.h"

class TTimedSoundOutput : public FakeSoundOutput {
  public:
    int64_t PlayedUSecs() override { return played; }
    int64_t played = 0;
};

class ReviewTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        // Positions below are worked out for the designed 857-pixel view.
        const int wider = 857 - form->SoundView->width();
        if (wider != 0) {
            form->resize(form->width() + wider, form->height());
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(form->SoundView->size(), QSize(857, 80));
        // The reset of the world has cleared the hook the member set.
        SoundOutputOverride = &output;
    }
    // The tone fixture in the player: frames of 288 positions. Its samples go into the view
    // unless the view keeps the samples it has.
    void LoadRecording(bool intoView = true) {
        Player.FileName = FixturePath("playback/tone-44100-stereo-128k.mp3");
        ASSERT_TRUE(Player.Open());
        int16_t* samples = nullptr;
        int32_t count = 0;
        Player.Decode(&samples, nullptr, &count);
        if (!intoView) {
            ReleaseSamples(samples);
            return;
        }
        ReleaseSamples(EditorState.Samples);
        EditorState.Samples = samples;
        EditorState.SampleCount = count;
    }
    // A key typed with the focus on target.
    void Key(QWidget* target, int key, Qt::KeyboardModifiers mods = {}) {
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key), mods);
        QApplication::processEvents();
    }
    void Text(const QString& text) { form->Memo1->setPlainText(text); }
    // The caret at `column` of `line` of Memo1.
    void CaretAt(int line, int column = 0) {
        QTextCursor c(form->Memo1->document()->findBlockByNumber(line));
        c.setPosition(c.position() + column);
        form->Memo1->setTextCursor(c);
    }
    static void SetRecord(int line, int flag, int start, int finish) {
        ItemTable[line].Flag = flag;
        ItemTable[line].Start = start;
        ItemTable[line].Finish = finish;
    }
    // The Start of the first n records, -1 for an empty one.
    static std::vector<int> Starts(int n) {
        std::vector<int> starts;
        for (int i = 0; i < n; ++i) starts.push_back(IsEmptyRecord(ItemTable[i]) ? -1 : ItemTable[i].Start);
        return starts;
    }
    void Wheel(QPoint angle, Qt::KeyboardModifiers mods = {}, int x = 300, QPoint pixels = {}) {
        const QPointF at(x, 40);
        QWheelEvent e(at, form->SoundView->mapToGlobal(at), pixels, angle, Qt::NoButton, mods,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(form->SoundView, &e);
    }
    void ClickView(int x) { QTest::mouseClick(form->SoundView, Qt::LeftButton, {}, QPoint(x, 40)); }

    TTimedSoundOutput output;
};
