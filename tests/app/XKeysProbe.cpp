// Run by XKeysTest under an X server of the test's own (tests/support/with-xvfb.sh).
//   XKeysProbe chord: a window of the probe's own holds the keyboard focus; a right press in
//     RichEdit1 with a selection must put the selection on the clipboard and type the chord into
//     the X server, and that window must receive it. Prints the clipboard and the key events.
//   XKeysProbe paste: Ctrl+V and the menu's Paste in Memo1, Memo2 and RichEdit1 while the X
//     clipboard has no owner. Prints each editor's text afterwards.
// Exits 0 when it could do its part; the test compares what it printed.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <cstdio>
#include <memory>

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

int Chord(TAddItemsForm& form) {
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
    // A seventh event, should one follow the chord, shows up within this time.
    (void)QTest::qWaitFor([&] { return receiver.Events.size() > 6; }, 300);

    std::printf("clipboard: %s\n", qPrintable(QApplication::clipboard()->text()));
    for (const QString& e : receiver.Events) std::printf("key: %s\n", qPrintable(e));
    return 0;
}

int Paste(TAddItemsForm& form) {
    QClipboard* clipboard = QApplication::clipboard();
    // Take the clipboard and let it go again: it then has no owner at all.
    clipboard->setText(QStringLiteral("gone"));
    clipboard->clear();
    if (!QTest::qWaitFor(
            [&] {
                const QMimeData* data = clipboard->mimeData();
                return data == nullptr || !data->hasText();
            },
            10000)) {
        return Fail("the clipboard kept its text");
    }
    for (QWidget* editor : std::initializer_list<QWidget*>{form.Memo1, form.Memo2, form.RichEdit1}) {
        editor->activateWindow();
        editor->setFocus();
        QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
        std::unique_ptr<QMenu> menu;
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) menu.reset(memo->createStandardContextMenu());
        if (auto* rich = qobject_cast<QTextEdit*>(editor)) menu.reset(rich->createStandardContextMenu());
        for (QAction* action : menu->actions()) {
            if (action->objectName() == QLatin1String("edit-paste")) action->trigger();
        }
    }
    std::printf("Memo1: %s\n", qPrintable(form.Memo1->toPlainText()));
    std::printf("Memo2: %s\n", qPrintable(form.Memo2->toPlainText()));
    std::printf("RichEdit1: %s\n", qPrintable(form.RichEdit1->toPlainText()));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) return Fail("not on X11");
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();

    TAddItemsForm form;
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) return Fail("window not shown");
    QTest::mouseClick(form.SpeedButton7, Qt::LeftButton);
    form.Memo1->setPlainText(QStringLiteral("one"));
    form.Memo2->setPlainText(QStringLiteral("two"));
    form.RichEdit1->setPlainText(QStringLiteral("three"));
    const int result = mode == QLatin1String("chord")   ? Chord(form)
                       : mode == QLatin1String("paste") ? Paste(form)
                                                        : Fail("usage: XKeysProbe chord|paste");
    std::fflush(stdout);
    return result;
}
