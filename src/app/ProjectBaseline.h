#pragma once
// What the project in the window looked like at its last Open or Save (or when the window was
// built): the two texts and the item records. Whatever changes them, a typed character or any
// handler that writes ItemTable, shows up as a difference; nothing has to report it.

#include <QPlainTextEdit>
#include <QString>

class TAddItemsForm;

// The memo's complete text with "\r\n" between its lines, exactly as a save writes it.
QString MemoText(const QPlainTextEdit& memo);
// The same from a copy of the memo document's raw text (QTextDocument::toRawText), on any thread.
QString MemoTextOfRaw(QString raw);

void TakeProjectBaseline(const TAddItemsForm& form);
// True when Memo1, Memo2 or ItemTable differ from the last baseline.
bool ProjectChanged(const TAddItemsForm& form);
