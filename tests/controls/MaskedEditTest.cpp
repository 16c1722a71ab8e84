// The masked edit: mask parsing, typing, deleting, the clipboard, and the rules of the
// appointment dialog's "##:##" time field.

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QVBoxLayout>

#include "controls/COXMaskedEdit.h"
#include "controls/Sound.h"

using namespace tavolin::ui;

namespace {

// A window with the time field and a second control to tab to.
struct TimeForm {
    QWidget window;
    COXMaskedEdit* edit;
    QLineEdit* other;

    TimeForm() {
        auto* layout = new QVBoxLayout(&window);
        edit = new COXMaskedEdit(QStringLiteral("##:##"), &window);
        edit->setObjectName(QStringLiteral("ctl1033"));
        edit->ChangePrompt(QLatin1Char('0'));
        other = new QLineEdit(&window);
        layout->addWidget(edit);
        layout->addWidget(other);
        window.show();
        QApplication::setActiveWindow(&window);
        edit->setFocus();
    }
    bool ready() { return QTest::qWaitForWindowActive(&window) && edit->hasFocus(); }
};

void Type(QWidget* w, const char* keys) {
    QTest::keyClicks(w, QString::fromLatin1(keys));
}

}  // namespace

class MaskedEditTest : public QObject {
    Q_OBJECT

private slots:
    void maskCharactersBecomeTypedPositions() {
        COXMaskedEdit edit(QStringLiteral("#A?><&.,:/\\#x\\"));
        const auto& m = edit.MaskData();
        QCOMPARE(m.size(), size_t{13});
        for (int i = 0; i < 6; ++i) QCOMPARE(m[i].type, i + 4);
        for (int i = 6; i < 10; ++i) QCOMPARE(m[i].type, i - 6);
        QCOMPARE(m[10].type, int(CMaskData::EscapedLiteral));
        QCOMPARE(m[10].character, QChar('#'));
        QCOMPARE(m[11].type, int(CMaskData::Literal));
        // A backslash at the very end is an ordinary literal.
        QCOMPARE(m[12].type, int(CMaskData::Literal));
        QCOMPARE(m[12].character, QChar('\\'));
        // Separators come from the locale (C here).
        QCOMPARE(m[6].character, QChar('.'));
        QCOMPARE(m[8].character, QChar(':'));
        QCOMPARE(edit.DisplayText(), QStringLiteral("      .,: #x\\"));
        QCOMPARE(edit.cursorPosition(), 0);
    }

    void escapedHashIsShownAndSkipped() {
        COXMaskedEdit edit(QStringLiteral("\\###"));
        edit.ChangePrompt(QLatin1Char('_'));
        QCOMPARE(edit.text(), QStringLiteral("#__"));
        QCOMPARE(edit.cursorPosition(), 1);
        QVERIFY(edit.FillInput(QStringLiteral("42")));
        QCOMPARE(edit.text(), QStringLiteral("#42"));
        QCOMPARE(edit.InputText(), QStringLiteral("42"));
    }

    void fillInputSkipsRefusedCharactersAndConverts() {
        COXMaskedEdit edit(QStringLiteral("><#"));
        edit.ChangePrompt(QLatin1Char('_'));
        QVERIFY(!edit.FillInput(QStringLiteral("a1B7")));  // "1" skipped for "<"
        QCOMPARE(edit.text(), QStringLiteral("Ab7"));
        // Running out keeps the old character of that position; later ones get the prompt.
        QVERIFY(!edit.FillInput(QStringLiteral("q9")));
        QCOMPARE(edit.text(), QStringLiteral("Qb_"));
        QVERIFY(edit.FillInput(QString()));
        QVERIFY(edit.HasNoInput());
        // Raw keeps prompt characters in place; otherwise they are dropped first.
        edit.FillInput(QStringLiteral("_xz"), 0, true);
        QCOMPARE(edit.text(), QStringLiteral("_x_"));
        edit.FillInput(QStringLiteral("_xy1"), 0, false);
        QCOMPARE(edit.text(), QStringLiteral("Xy1"));
    }

    void promptChangesOnlyEmptyPositionsAndRefusesControlCharacters() {
        COXMaskedEdit edit(QStringLiteral("##-##"));
        edit.FillInput(QStringLiteral("1"));
        QCOMPARE(edit.text(), QStringLiteral("1 -  "));
        edit.ChangePrompt(QLatin1Char('*'));
        QCOMPARE(edit.text(), QStringLiteral("1*-**"));
        for (char16_t bad : {u'\0', u'\n', u'\r', char16_t(127)}) {
            edit.ChangePrompt(QChar(bad));
            QCOMPARE(edit.Prompt(), QChar('*'));
            QCOMPARE(edit.text(), QStringLiteral("1*-**"));
        }
        QVERIFY(!edit.HasNoInput());
    }

    void newTimeFieldShowsZeros() {
        TimeForm f;
        QVERIFY(f.ready());
        QCOMPARE(f.edit->text(), QStringLiteral("00:00"));
        QCOMPARE(f.edit->cursorPosition(), 0);
        QVERIFY(f.edit->HasNoInput());
        QVERIFY(f.edit->InsertMode());
    }

    void hourDigitsFollowTheTimeRules() {
        TimeForm f;
        QVERIFY(f.ready());
        SoundRecorder sounds;
        Type(f.edit, "3");
        QCOMPARE(sounds.beeps(), 1);
        QCOMPARE(f.edit->text(), QStringLiteral("00:00"));
        Type(f.edit, "23");
        QCOMPARE(f.edit->text(), QStringLiteral("23:00"));
        QCOMPARE(f.edit->cursorPosition(), 3);  // the separator is skipped

        f.edit->FillInput(QString());
        Type(f.edit, "24");  // 24 hours is refused by the plausibility check
        QCOMPARE(f.edit->text(), QStringLiteral("20:00"));
        QCOMPARE(sounds.beeps(), 2);
        QCOMPARE(sounds.exclamations(), 0);
    }

    void minuteDigitsFollowTheTimeRules() {
        TimeForm f;
        QVERIFY(f.ready());
        SoundRecorder sounds;
        f.edit->setCursorPosition(3);
        Type(f.edit, "5");
        QCOMPARE(sounds.beeps(), 1);
        Type(f.edit, "45");
        QCOMPARE(f.edit->text(), QStringLiteral("00:45"));
        f.edit->setCursorPosition(4);
        Type(f.edit, "1");
        QCOMPARE(sounds.beeps(), 2);
        QCOMPARE(f.edit->text(), QStringLiteral("00:45"));
    }

    void typingOnALiteralIsRejectedAndMovesOn() {
        TimeForm f;
        QVERIFY(f.ready());
        SoundRecorder sounds;
        f.edit->setCursorPosition(2);
        Type(f.edit, "1");
        QCOMPARE(sounds.exclamations(), 1);
        QCOMPARE(f.edit->cursorPosition(), 3);
        QCOMPARE(f.edit->text(), QStringLiteral("00:00"));
        Type(f.edit, "x");  // not a digit
        QCOMPARE(sounds.exclamations(), 2);
    }

    void insertKeyTogglesOverwrite() {
        TimeForm f;
        QVERIFY(f.ready());
        f.edit->setText(QStringLiteral("12:30"));
        f.edit->setCursorPosition(0);
        Type(f.edit, "0");  // insert: everything moves right, the last digit is lost
        QCOMPARE(f.edit->text(), QStringLiteral("01:23"));
        QTest::keyClick(f.edit, Qt::Key_Insert);
        QVERIFY(!f.edit->InsertMode());
        f.edit->setCursorPosition(0);
        Type(f.edit, "2");
        QCOMPARE(f.edit->text(), QStringLiteral("21:23"));
        QCOMPARE(f.edit->cursorPosition(), 1);
        QTest::keyClick(f.edit, Qt::Key_Insert);
        QVERIFY(f.edit->InsertMode());
    }

    void deleteAndBackspaceShiftTheInput() {
        TimeForm f;
        QVERIFY(f.ready());
        f.edit->setText(QStringLiteral("12:30"));
        f.edit->setCursorPosition(0);
        QTest::keyClick(f.edit, Qt::Key_Delete);
        QCOMPARE(f.edit->text(), QStringLiteral("23:00"));
        QCOMPARE(f.edit->cursorPosition(), 0);

        // On the separator, Delete takes the first input to its right.
        f.edit->setText(QStringLiteral("12:45"));
        f.edit->setCursorPosition(2);
        QTest::keyClick(f.edit, Qt::Key_Delete);
        QCOMPARE(f.edit->text(), QStringLiteral("12:50"));

        // A selection holding only the separator moves right until it takes a digit in.
        f.edit->setText(QStringLiteral("12:45"));
        f.edit->setSelection(2, 1);
        QTest::keyClick(f.edit, Qt::Key_Delete);
        QCOMPARE(f.edit->text(), QStringLiteral("12:50"));

        f.edit->setText(QStringLiteral("12:45"));
        f.edit->setCursorPosition(3);
        QTest::keyClick(f.edit, Qt::Key_Backspace);  // skips the separator leftwards
        QCOMPARE(f.edit->text(), QStringLiteral("14:50"));
        QCOMPARE(f.edit->cursorPosition(), 1);

        f.edit->setText(QStringLiteral("12:45"));
        f.edit->setSelection(1, 3);
        QTest::keyClick(f.edit, Qt::Key_Backspace);
        QCOMPARE(f.edit->text(), QStringLiteral("15:00"));
        QCOMPARE(f.edit->cursorPosition(), 1);
    }

    void arrowsAndHomeKeepTheCaretOnInputPositions() {
        COXMaskedEdit edit(QStringLiteral("(##) ##"));
        QCOMPARE(edit.cursorPosition(), 1);
        edit.setCursorPosition(5);
        QTest::keyClick(&edit, Qt::Key_Left);
        QCOMPARE(edit.cursorPosition(), 2);
        QTest::keyClick(&edit, Qt::Key_Right);
        QCOMPARE(edit.cursorPosition(), 5);
        QTest::keyClick(&edit, Qt::Key_Up);
        QCOMPARE(edit.cursorPosition(), 2);
        QTest::keyClick(&edit, Qt::Key_Down);
        QCOMPARE(edit.cursorPosition(), 5);
        QTest::keyClick(&edit, Qt::Key_Home);
        QCOMPARE(edit.cursorPosition(), 1);
        QTest::keyClick(&edit, Qt::Key_Left);
        QCOMPARE(edit.cursorPosition(), 1);
        // Shift leaves selecting to the plain edit.
        QTest::keyClick(&edit, Qt::Key_Left, Qt::ShiftModifier);
        QCOMPARE(edit.cursorPosition(), 0);
        QVERIFY(edit.hasSelectedText());
    }

    void typingOverASelectionReplacesIt() {
        TimeForm f;
        QVERIFY(f.ready());
        f.edit->setText(QStringLiteral("12:45"));
        f.edit->setSelection(0, 2);
        Type(f.edit, "1");
        QCOMPARE(f.edit->text(), QStringLiteral("14:50"));
        QCOMPARE(f.edit->cursorPosition(), 1);
        // A selection of literals only is refused.
        SoundRecorder sounds;
        f.edit->setSelection(2, 1);
        Type(f.edit, "1");
        QCOMPARE(sounds.exclamations(), 1);
        QCOMPARE(f.edit->cursorPosition(), 3);
        // A replacement that breaks the time rules leaves everything as it was.
        f.edit->selectAll();
        Type(f.edit, "9");
        QCOMPARE(sounds.beeps(), 1);
        QCOMPARE(f.edit->text(), QStringLiteral("14:50"));
    }

    void textFromOutsideDropsLiteralsInPlace() {
        COXMaskedEdit edit(QStringLiteral("##:##"));
        edit.ChangePrompt(QLatin1Char('0'));
        int changes = 0;
        connect(&edit, &COXMaskedEdit::editChange, [&] { ++changes; });
        edit.setText(QStringLiteral("12:30"));
        QCOMPARE(edit.text(), QStringLiteral("12:30"));
        edit.setText(QStringLiteral("0945"));
        QCOMPARE(edit.text(), QStringLiteral("09:45"));
        edit.setText(QStringLiteral("7.15"));  // a foreign separator is just refused input
        QCOMPARE(edit.text(), QStringLiteral("71:50"));
        QCOMPARE(changes, 0);  // no change notification for text set from outside
        edit.FillInput(QStringLiteral("1"));
        QCOMPARE(changes, 1);
    }

    void cutCopiesThenRemovesInput() {
        TimeForm f;
        QVERIFY(f.ready());
        f.edit->setText(QStringLiteral("12:45"));
        f.edit->setSelection(1, 3);
        QTest::keySequence(f.edit, QKeySequence::Cut);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("2:4"));
        QCOMPARE(f.edit->text(), QStringLiteral("15:00"));
        QCOMPARE(f.edit->cursorPosition(), 1);
        f.edit->setSelection(0, 5);
        QTest::keySequence(f.edit, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("15:00"));
        QCOMPARE(f.edit->text(), QStringLiteral("15:00"));
    }

    void pasteKeepsTheMask() {
        TimeForm f;
        QVERIFY(f.ready());
        QApplication::clipboard()->setText(QStringLiteral("20:15"));
        f.edit->setCursorPosition(0);
        QTest::keySequence(f.edit, QKeySequence::Paste);
        QCOMPARE(f.edit->text(), QStringLiteral("20:15"));

        // Letters and a second line drop out.
        QApplication::clipboard()->setText(QStringLiteral("1x1:3y0\n99"));
        f.edit->selectAll();
        QTest::keySequence(f.edit, QKeySequence::Paste);
        QCOMPARE(f.edit->text(), QStringLiteral("11:30"));

        // Pasting a huge text stays bounded; "77:77" is no time, so the field keeps its own.
        QApplication::clipboard()->setText(QString(1'000'000, QLatin1Char('7')));
        f.edit->selectAll();
        QTest::keySequence(f.edit, QKeySequence::Paste);
        QCOMPARE(f.edit->text(), QStringLiteral("11:30"));
        QApplication::clipboard()->setText(QString(1'000'000, QLatin1Char('1')));
        f.edit->selectAll();
        QTest::keySequence(f.edit, QKeySequence::Paste);
        QCOMPARE(f.edit->text(), QStringLiteral("11:11"));

        COXMaskedEdit letters(
            QStringLiteral("?"
                           "?-?"
                           "?"));
        letters.ChangePrompt(QLatin1Char('_'));
        QApplication::clipboard()->setText(QStringLiteral("ab"));
        letters.setCursorPosition(0);
        letters.pasteMasked();
        QCOMPARE(letters.text(), QStringLiteral("ab-__"));
        QCOMPARE(letters.cursorPosition(), 3);  // first empty input position
    }

    void leavingWithAnOddQuarterKeepsTheFocus() {
        TimeForm f;
        QVERIFY(f.ready());
        SoundRecorder sounds;
        f.edit->setText(QStringLiteral("12:10"));
        QTest::keyClick(f.edit, Qt::Key_Tab);
        QVERIFY(f.edit->hasFocus());
        QCOMPARE(sounds.beeps(), 1);

        f.edit->setText(QStringLiteral("12:15"));
        QTest::keyClick(f.edit, Qt::Key_Tab);
        QVERIFY(f.other->hasFocus());
        QCOMPARE(sounds.beeps(), 1);

        f.edit->setFocus(Qt::TabFocusReason);
        f.edit->setText(QStringLiteral("00:00"));
        f.other->setFocus(Qt::TabFocusReason);
        QVERIFY(f.other->hasFocus());
        QCOMPARE(sounds.count(), 1);
    }

    void validationReceiverCanRefuse() {
        TimeForm f;
        QVERIFY(f.ready());
        SoundRecorder sounds;
        int seenId = 0;
        connect(f.edit, &COXMaskedEdit::validateInput, [&](MaskedEditValidation* v, int id) {
            seenId = id;
            QCOMPARE(v->valid, 1);
            QCOMPARE(v->runDefaultValidation, 1);
            v->valid = 0;
            v->errorPosition = 2;
        });
        f.edit->setText(QStringLiteral("12:30"));
        QTest::keyClick(f.edit, Qt::Key_Tab);
        QCOMPARE(seenId, 1033);
        QVERIFY(f.edit->hasFocus());
        QCOMPARE(sounds.exclamations(), 1);
        QCOMPARE(f.edit->cursorPosition(), 3);  // the third input position
    }

    void tabbingInPutsTheCaretOnTheFirstInput() {
        QWidget w;
        auto* layout = new QVBoxLayout(&w);
        auto* first = new QLineEdit(&w);
        auto* edit = new COXMaskedEdit(QStringLiteral("(###)"), &w);
        layout->addWidget(first);
        layout->addWidget(edit);
        w.show();
        QApplication::setActiveWindow(&w);
        first->setFocus();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(first, Qt::Key_Tab);
        QVERIFY(edit->hasFocus());
        QVERIFY(!edit->hasSelectedText());
        QCOMPARE(edit->cursorPosition(), 1);
    }

    void autoAdvanceMovesOnAfterTheLastPosition() {
        TimeForm f;
        QVERIFY(f.ready());
        f.edit->SetAutoAdvance(true);
        f.edit->setCursorPosition(3);
        Type(f.edit, "30");
        QCOMPARE(f.edit->text(), QStringLiteral("00:30"));
        QVERIFY(f.other->hasFocus());
    }

    void withoutMaskItIsAPlainEdit() {
        COXMaskedEdit edit;
        QVERIFY(edit.HasNoInput());
        QTest::keyClicks(&edit, QStringLiteral("3x:9"));
        QCOMPARE(edit.text(), QStringLiteral("3x:9"));
        QCOMPARE(edit.InputText(), QStringLiteral("3x:9"));
        QVERIFY(!edit.HasNoInput());
    }
};

QTEST_MAIN(MaskedEditTest)
#include "MaskedEditTest.moc"
