#pragma once
// Shared test helpers: a fixture that starts every test from a fresh editor state, and small
// file utilities.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include "EditorState.h"

class FreshStateTest : public ::testing::Test {
  protected:
    void SetUp() override { ResetEditorState(); }
    void TearDown() override { ResetEditorState(); }
};

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);
QString FixturePath(const QString& name);
