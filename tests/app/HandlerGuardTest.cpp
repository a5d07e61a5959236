// Every handler runs to its end before the next: input and handlers that arrive while one runs
// (a library that runs the event loop inside it) are dropped; the dialogs it opens still work.
#include <QCloseEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <functional>

#include "../sound/FakeSoundOutput.h"
#include "EditorState.h"
#include "ProjectBaseline.h"
#include "WindowTest.h"

namespace {

// Ends the sound as Qt's PulseAudio sink does: by running the event loop.
class TPumpingSoundOutput : public FakeSoundOutput {
  public:
    std::function<void()> DuringStop;
    void Stop() override {
        FakeSoundOutput::Stop();
        if (DuringStop) DuringStop();
        QCoreApplication::processEvents();
    }
};

// Runs the event loop whenever the progress bar is shown, that is, while Decode runs.
class TPumpOnShow : public QObject {
  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) QCoreApplication::processEvents();
        return false;
    }
};

// A click queued for the event loop, as the window system queues the user's click.
void QueueClick(QWidget* target) {
    const QPointF centre = QRectF(target->rect()).center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(
            target, new QMouseEvent(type, centre, target->mapToGlobal(centre), Qt::LeftButton,
                                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                    Qt::NoModifier));
    }
}

class HandlerGuardTest : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        SoundOutputOverride = &output;
        WriteAll(Path("a.txt"), "alpha\r\n");
        WriteAll(Path("a.txr"), "alpha second\r\n");
        WriteAll(Path("b.txt"), "beta\r\n");
        Open(Path("a.txt"));
        ASSERT_EQ(TextName, Path("a.txt"));
    }

    // The open dialog answers b.txt and queues what the user does next.
    void OpenBWhile(const std::function<void()>& queued) {
        filtersSeen.clear();
        TOpenDialog::ExecuteOverride = [this, queued](TOpenDialog& dialog) {
            filtersSeen << dialog.Filter;
            if (filtersSeen.size() == 1) queued();
            dialog.FileName = Path("b.txt");
            return true;
        };
        Click(form->OpenBtn);
        QApplication::processEvents();
    }

    TPumpingSoundOutput output;
};

TEST_F(HandlerGuardTest, SaveClickedWhileAnotherProjectLoadsNeverWritesTheFirstProject) {
    // A click that reaches the button by code, not by the mouse, is dropped as well.
    output.DuringStop = [this] { form->SaveBtn->click(); };
    OpenBWhile([this] {
        QueueClick(form->SaveBtn);
        QCoreApplication::postEvent(
            form->Memo1, new QKeyEvent(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x")));
        QCoreApplication::postEvent(form.get(), new QCloseEvent);
    });
    EXPECT_EQ(ReadAll(Path("a.txt")), QByteArray("alpha\r\n"));
    EXPECT_EQ(ReadAll(Path("a.txr")), QByteArray("alpha second\r\n"));
    EXPECT_FALSE(QFile::exists(Path("a.pos")));
    EXPECT_FALSE(QFile::exists(Path("b.pos")));
    EXPECT_GE(output.stops, 1);
    EXPECT_EQ(TextName, Path("b.txt"));
    EXPECT_EQ(MemoText(*form->Memo1), QStringLiteral("beta\r\n"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QStringLiteral("; ")).toStdString();
    // Once the handler has ended, the buttons work again.
    Save();
    EXPECT_EQ(ReadAll(Path("b.txt")), QByteArray("beta\r\n"));
    EXPECT_EQ(ReadAll(Path("a.txt")), QByteArray("alpha\r\n"));
}

TEST_F(HandlerGuardTest, OpenClickedWhileTheRecordingDecodesDoesNotStartAgain) {
    QFile::copy(FixturePath("playback/tone-22050-mono-64k.mp3"), Path("b.mp3"));
    TPumpOnShow pump;
    form->ProgressBar1->installEventFilter(&pump);
    OpenBWhile([this] { QueueClick(form->OpenBtn); });
    form->ProgressBar1->removeEventFilter(&pump);
    EXPECT_EQ(filtersSeen.size(), 1);
    ASSERT_NE(EditorState.Samples, nullptr);
    EXPECT_GT(EditorState.SampleCount, 11025);
    EXPECT_EQ(TextName, Path("b.txt"));
}

TEST_F(HandlerGuardTest, AMessageBoxOfTheHandlerStillTakesTheUsersClick) {
    ExceptionDialogOverride = nullptr;
    bool clicked = false;
    bool forced = false;
    bool finished = false;
    std::function<void(int)> answer = [&](int triesLeft) {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr && clicked) {
            finished = true;  // closed by the click
            return;
        }
        if (box != nullptr && !clicked) {
            QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
            clicked = true;
        } else if (triesLeft == 0) {
            // The click did not get through: close the box so that the test ends.
            forced = box != nullptr;
            if (box != nullptr) box->done(QMessageBox::Ok);
            finished = true;
            return;
        }
        QTimer::singleShot(20, [&answer, triesLeft] { answer(triesLeft - 1); });
    };
    QTimer::singleShot(0, [&] { answer(100); });
    TextName = dir.path();  // a folder: the save fails with a message box
    Save();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished; }, 10000));
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(forced);
}

}  // namespace
