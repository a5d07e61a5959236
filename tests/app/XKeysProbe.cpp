// Run by XKeysTest on an X server of the test's own (DISPLAY and QT_QPA_PLATFORM=xcb set by it).
// A window of the probe's own holds the keyboard focus; a right press in RichEdit1 with a selection
// must put the selection on the clipboard and type the chord into the X server, and that window
// must receive it. Prints the clipboard and the key events seen; exits 0 when they are as expected.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QTest>
#include <cstdio>

#include "TAddItemsForm.h"

namespace {

class TKeyReceiver : public QWidget {
  public:
    QStringList Events;

  protected:
    void keyPressEvent(QKeyEvent* e) override { Record(QStringLiteral("press"), e); }
    void keyReleaseEvent(QKeyEvent* e) override { Record(QStringLiteral("release"), e); }

  private:
    void Record(const QString& what, QKeyEvent* e) {
        const QString key = e->key() == Qt::Key_Control ? QStringLiteral("Control")
                            : e->key() == Qt::Key_C     ? QStringLiteral("C")
                                                        : QStringLiteral("key %1").arg(e->key());
        Events << what + QLatin1Char(' ') + key +
                      (e->isAutoRepeat() ? QStringLiteral(" (repeat)") : QString());
    }
};

int Fail(const char* why) {
    std::printf("probe failed: %s\n", why);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return Fail("not on X11");

    TAddItemsForm form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return Fail("window not shown");
    QTest::mouseClick(form.SpeedButton7, Qt::LeftButton);
    form.RichEdit1->setPlainText(QStringLiteral("alpha beta"));
    QTextCursor selection(form.RichEdit1->document());
    selection.setPosition(6);
    selection.setPosition(10, QTextCursor::KeepAnchor);
    form.RichEdit1->setTextCursor(selection);

    TKeyReceiver receiver;
    receiver.setWindowTitle(QStringLiteral("receiver"));
    receiver.resize(200, 100);
    receiver.show();
    if (!QTest::qWaitForWindowExposed(&receiver)) return Fail("receiver not shown");
    receiver.activateWindow();
    if (!QTest::qWaitForWindowActive(&receiver, 10000)) return Fail("receiver has no focus");

    QTest::mousePress(form.RichEdit1->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    // Fewer than six events show in the output; the test names what is missing.
    (void)QTest::qWaitFor([&] { return receiver.Events.size() >= 6; }, 10000);
    QTest::mouseRelease(form.RichEdit1->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    // Anything typed after the chord would show up here as well.
    QTest::qWait(200);

    std::printf("clipboard: %s\n", qPrintable(QApplication::clipboard()->text()));
    for (const QString& e : receiver.Events) std::printf("key: %s\n", qPrintable(e));
    std::fflush(stdout);
    return 0;
}
