#pragma once
// Shared test helpers: one reset of the whole editor world, a fixture that starts and ends every
// test with it, the X server launcher, and small file utilities.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "EditorState.h"

// Puts everything a test can change back to a fresh start: EditorState, ItemTable, PictureTable
// and the file names (an open archive is closed), the player emptied, no sound playing, and
// every test hook cleared (exception dialog, "Save changes?", the warning about records of lines
// from 500 on, file dialog, sound output, first audio buffer, keyboard input, the recovery
// questions, notices, folder and interval); no record of a line from 500 on is left.
void ResetTestWorld();

class FreshStateTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetTestWorld(); }
    void TearDown() override { ResetTestWorld(); }
};

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);
QString FixturePath(const QString& name);

// Runs program with arguments under an X server of its own (tests/support/with-xvfb.sh), with
// the environment of the test plus `environment` ("NAME=value"), and waits for it to end.
// Returns the exit code, or -1 when it did not start or end normally; output gets its stdout,
// errors its stderr.
int RunUnderXvfb(const QString& program,
                 const QStringList& arguments,
                 const QStringList& environment,
                 QString* output,
                 QString* errors);
