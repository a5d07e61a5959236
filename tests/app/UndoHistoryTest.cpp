// One undo history for the window: text edits of both memos and every change of the records.
#include <QMenu>

#include "ProjectBaseline.h"
#include "ReviewFixture.h"

namespace {

struct TState {
    QString Text;
    QString SecondText;
    std::vector<TItemRec> Records;
    bool operator==(const TState& o) const {
        if (Text != o.Text || SecondText != o.SecondText || Records.size() != o.Records.size()) return false;
        for (size_t i = 0; i < Records.size(); ++i) {
            if (!RecordsEqual(Records[i], o.Records[i])) return false;
        }
        return true;
    }
};

void PrintTo(const TState& s, std::ostream* os) {
    *os << '"' << s.Text.toStdString() << "\" / \"" << s.SecondText.toStdString() << '"';
    for (size_t i = 0; i < 4; ++i) {
        const TItemRec& r = s.Records[i];
        *os << " [" << r.Flag << ' ' << r.Start << ' ' << r.Finish << ' ' << r.PicCount << ']';
    }
}

class UndoHistoryTest : public ReviewTest {
  protected:
    TState Now() const { return {form->Memo1->toPlainText(), form->Memo2->toPlainText(), AllLineRecords()}; }
    void TypeAtEnd(TMemo* memo, const QString& text) {
        memo->setFocus();
        memo->moveCursor(QTextCursor::End);
        QTest::keyClicks(memo, text);
    }
    void Select(int from, int to) {
        EditorState.SelStart = from;
        EditorState.SelEnd = to;
    }
    void Undo() { Key(form->Memo1, Qt::Key_Z, Qt::ControlModifier); }
};

TEST_F(UndoHistoryTest, EveryKindOfStepIsUndoneAndRedoneInTheOrderMade) {
    ShowAllPanes();
    Text(QStringLiteral("a\nb\nc"));
    std::vector<TState> states{Now()};
    auto step = [&](const std::function<void()>& action) {
        action();
        QApplication::processEvents();
        ASSERT_NE(Now(), states.back());
        states.push_back(Now());
    };
    step([&] { TypeAtEnd(form->Memo1, QStringLiteral("x")); });
    step([&] {
        CaretAt(1);
        Select(100, 200);
        Click(form->BitBtn3);
    });
    step([&] {
        Select(300, 400);
        Key(form->Memo1, Qt::Key_F8);  // line 1 again, then on to line 2
    });
    step([&] { TypeAtEnd(form->Memo2, QStringLiteral("second")); });
    step([&] {
        CaretAt(0);
        EditorState.ChosenPicture = 7;
        Click(form->SpeedButton2);
    });
    step([&] { Click(form->SpeedButton3); });
    step([&] { ClickRow(form->Memo1, 1, Qt::LeftButton, Qt::AltModifier); });
    step([&] {
        form->RecordItemsChange(QStringLiteral("Align"), [] {
            for (int line = 0; line < 3; ++line) {
                ItemTable[line].Flag = 1;
                ItemTable[line].Start = 1000 * line;
                ItemTable[line].Finish = 1000 * line + 999;
            }
        });
    });
    EXPECT_EQ(ItemTable[0].Pics[0], 7);
    EXPECT_EQ(ItemTable[2].Finish, 2999);

    // Ctrl+Z from the list, a memo, the other memo: each takes back one step.
    QWidget* focus[] = {form->ListBox1, form->Memo1, form->Memo2};
    for (size_t i = states.size() - 1; i > 0; --i) {
        Key(focus[i % 3], Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(Now(), states[i - 1]) << "undo to state " << i - 1;
    }
    Undo();
    EXPECT_EQ(Now(), states[0]);
    for (size_t i = 1; i < states.size(); ++i) {
        if (i % 2) {
            Key(focus[i % 3], Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        } else {
            Key(focus[i % 3], Qt::Key_Y, Qt::ControlModifier);
        }
        EXPECT_EQ(Now(), states[i]) << "redo to state " << i;
    }
    EXPECT_TRUE(messages.isEmpty()) << messages.join(QStringLiteral("; ")).toStdString();
}

TEST_F(UndoHistoryTest, TypingAfterAnotherStepIsAStepOfItsOwn) {
    Text(QStringLiteral("a\nb"));
    TypeAtEnd(form->Memo1, QStringLiteral("12"));
    CaretAt(0);
    Select(5, 50);
    Click(form->BitBtn3);
    TypeAtEnd(form->Memo1, QStringLiteral("34"));
    TypeAtEnd(form->Memo2, QStringLiteral("x"));
    TypeAtEnd(form->Memo1, QStringLiteral("56"));
    Undo();
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("a\nb1234"));
    Undo();
    EXPECT_EQ(form->Memo2->toPlainText(), QString());
    Undo();
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("a\nb12"));
    EXPECT_EQ(ItemTable[0].Flag, 1);
    Undo();
    EXPECT_EQ(ItemTable[0].Flag, 0);
    // Typing after an undo does not join the step before it either.
    TypeAtEnd(form->Memo1, QStringLiteral("7"));
    Undo();
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("a\nb12"));
    // The new step took the place of those undone before it.
    Key(form->Memo1, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("a\nb127"));
    EXPECT_FALSE(form->History().CanRedo());
}

TEST_F(UndoHistoryTest, TheMemosOwnUndoGoesThroughTheHistory) {
    Text(QStringLiteral("a\nb"));
    TypeAtEnd(form->Memo1, QStringLiteral("typed"));
    CaretAt(0);
    Select(5, 50);
    Click(form->BitBtn3);
    // The memo's menu undoes the latest step of the window, the segment, not the typing.
    ClickRow(form->Memo1, 0, Qt::RightButton);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QAction* undo = nullptr;
    for (QAction* action : menu->actions()) {
        if (action->objectName() == QLatin1String("edit-undo")) undo = action;
    }
    ASSERT_NE(undo, nullptr);
    ASSERT_TRUE(undo->isEnabled());
    undo->trigger();
    menu->close();
    EXPECT_EQ(ItemTable[0].Flag, 0);
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("a\nbtyped"));
    // Alt+Backspace, the memo's other undo key, too.
    Key(form->Memo1, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("a\nb"));
    EXPECT_FALSE(form->History().CanUndo());
}

TEST_F(UndoHistoryTest, UndoingBackToTheOpenedProjectLeavesNothingUnsavedAndOpenForgets) {
    const QString first = Path(QStringLiteral("first.txt"));
    const QString second = Path(QStringLiteral("second.txt"));
    WriteAll(first, "one\r\ntwo");
    WriteAll(second, "three");
    Open(first);
    TypeAtEnd(form->Memo1, QStringLiteral(" new"));
    CaretAt(0);
    Select(10, 20);
    Click(form->BitBtn3);
    ASSERT_TRUE(ProjectChanged(*form));
    Undo();
    Undo();
    EXPECT_FALSE(ProjectChanged(*form));
    Open(second);
    EXPECT_EQ(questions, 0);

    TypeAtEnd(form->Memo1, QStringLiteral("!"));
    answer = TSaveChangesAnswer::Discard;
    Open(first);
    EXPECT_EQ(questions, 1);
    EXPECT_FALSE(form->History().CanUndo());
    Undo();
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("one\ntwo"));
}

}  // namespace
