// What only a real X server shows: the chord typed from RichEdit1 reaches a focused window, and
// pasting from a clipboard without an owner leaves the editors as they are. Each runs the probe
// under an X server of its own.
#include <gtest/gtest.h>

#include "TestSupport.h"

namespace {

QStringList RunProbe(const QString& mode) {
    QString out;
    QString err;
    const int status =
        RunUnderXvfb(QStringLiteral(SORVELLE_XKEYS_PROBE), {mode},
                     {QStringLiteral("LSAN_OPTIONS=suppressions=" SORVELLE_XKEYS_SUPPRESSIONS)}, &out, &err);
    EXPECT_EQ(status, 0) << out.toStdString() << err.toStdString();
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

TEST(XKeysTest, ChordReachesTheFocusedWindowOnXvfb) {
    const QStringList expected{
        QStringLiteral("clipboard: beta"),      QStringLiteral("key: press Control"),
        QStringLiteral("key: press C"),         QStringLiteral("key: release C"),
        QStringLiteral("key: press C"),         QStringLiteral("key: release C"),
        QStringLiteral("key: release Control"),
    };
    EXPECT_EQ(RunProbe(QStringLiteral("chord")), expected);
}

TEST(XKeysTest, PastingFromAClipboardWithoutOwnerChangesNoEditor) {
    const QStringList expected{QStringLiteral("Memo1: one"), QStringLiteral("Memo2: two"),
                               QStringLiteral("RichEdit1: three")};
    EXPECT_EQ(RunProbe(QStringLiteral("paste")), expected);
}

}  // namespace
