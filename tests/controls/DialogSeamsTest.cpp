// The seams of the modal windows and sounds: tests answer them and see what was shown.

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "controls/AccessibleName.h"
#include "controls/CColourPicker.h"
#include "controls/COXMaskedEdit.h"
#include "controls/DialogRecorder.h"
#include "platform/Context.h"
#include "controls/DialogUnits.h"
#include "controls/Sound.h"

using namespace tavolin;
using namespace tavolin::ui;

class DialogSeamsTest : public QObject {
    Q_OBJECT

private slots:
    void messageBoxTakesQueuedAnswersInOrder() {
        DialogRecorder rec;
        MessageBox::setNextAnswer(MessageBox::No);
        MessageBox::setNextAnswer(MessageBox::Yes);
        QCOMPARE(MessageBox::show(nullptr, "first", "Frage", MessageBox::Icon::Question,
                                  MessageBox::Buttons::YesNo),
                 MessageBox::No);
        QCOMPARE(MessageBox::show(nullptr, "second", "Frage", MessageBox::Icon::Question,
                                  MessageBox::Buttons::YesNo),
                 MessageBox::Yes);
        QCOMPARE(rec.messages().size(), size_t{2});
        QCOMPARE(rec.messages()[0].text, QString("first"));
        QCOMPARE(rec.messages()[1].answer, MessageBox::Yes);
        QCOMPARE(rec.messages()[1].icon, MessageBox::Icon::Question);
    }

    void unansweredBoxGetsItsDefaultButton() {
        DialogRecorder rec;
        QCOMPARE(MessageBox::show(nullptr, "t", "c", MessageBox::Icon::Warning,
                                  MessageBox::Buttons::YesNoCancel),
                 MessageBox::Yes);
        QCOMPARE(MessageBox::show(nullptr, "t", "c", MessageBox::Icon::Warning,
                                  MessageBox::Buttons::YesNo, MessageBox::No),
                 MessageBox::No);
        // A default that is not among the buttons falls back to the first.
        QCOMPARE(MessageBox::show(nullptr, "t", "c", MessageBox::Icon::None,
                                  MessageBox::Buttons::OkCancel, MessageBox::Retry),
                 MessageBox::Ok);
        QCOMPARE(rec.messages().size(), size_t{3});
    }

    void windows1252TextsAndCoreMessagesArriveAsUnicode() {
        DialogRecorder rec;
        MessageBox::showW1252(nullptr, "Termin l\xF6schen?", "Hinweis");
        QCOMPARE(rec.messages().back().text, QString::fromUtf8("Termin löschen?"));
        Context context;
        context.userMessages = MessageBox::userMessageSink();
        context.ShowMessage("Fehler beim Speichern", "Fehler", MessageIcon::Stop);
        QCOMPARE(rec.messages().back().caption, QString("Fehler"));
        QCOMPARE(rec.messages().back().icon, MessageBox::Icon::Critical);
    }

    void nestedRecordersRecordInTheInnermost() {
        DialogRecorder outer;
        {
            DialogRecorder inner;
            MessageBox::show(nullptr, "x", "y");
            QCOMPARE(inner.messages().size(), size_t{1});
        }
        QVERIFY(outer.messages().empty());
        QCOMPARE(DialogRecorder::active(), &outer);
    }

    void fileDialogAnswersAndRecords() {
        DialogRecorder rec;
        FileDialog::setNextFileName("/tmp/bild.jpg");
        QCOMPARE(FileDialog::getOpenFileName(nullptr, "Bild", "/tmp", "Bilder|*.jpg||"),
                 QString("/tmp/bild.jpg"));
        // Nothing queued: cancelled, never shown.
        QVERIFY(FileDialog::getOpenFileName(nullptr, "Bild", "/tmp", "").isEmpty());
        QCOMPARE(rec.fileDialogs().size(), size_t{2});
        QCOMPARE(rec.fileDialogs()[0].directory, QString("/tmp"));
        QVERIFY(rec.fileDialogs()[1].result.isEmpty());
    }

    void windowsFilterBecomesQtFilter() {
        const QString windows = QString::fromUtf8(
            " Alle unterstützten Formate |*.jpg;*.jpeg;*.gif;*.tiff;*.png;*.bmp| Bitmaps (*.bmp) "
            "|*.bmp| JPEG-Bilder (*.jpg;*.jpeg)|*.jpg;*.jpeg||");
        QCOMPARE(FileDialog::qtFilter(windows),
                 QString::fromUtf8("Alle unterstützten Formate (*.jpg *.jpeg *.gif *.tiff *.png "
                                   "*.bmp);;Bitmaps (*.bmp) (*.bmp);;JPEG-Bilder (*.jpg;*.jpeg) "
                                   "(*.jpg *.jpeg)"));
        QCOMPARE(FileDialog::qtFilter("Nichts||"), QString());
        QCOMPARE(FileDialog::qtFilter("Ohne Ende|*.txt"), QString("Ohne Ende (*.txt)"));
    }

    void colourDialogAnswersOkAndCancel() {
        DialogRecorder rec;
        ColourDialog::setNextColour(QColor(1, 2, 3));
        ColourDialog::setNextCancel();
        auto first = ColourDialog::getColour(nullptr, Qt::red);
        QVERIFY(first.has_value());
        QCOMPARE(*first, QColor(1, 2, 3));
        QVERIFY(!ColourDialog::getColour(nullptr, Qt::blue).has_value());
        QVERIFY(!ColourDialog::getColour(nullptr, Qt::green).has_value());  // nothing queued
        QCOMPARE(rec.colourDialogs().size(), size_t{3});
        QCOMPARE(rec.colourDialogs()[1].initial, QColor(Qt::blue));
    }

    void soundRecorderCountsAndRestores() {
        int outerBeeps = 0;
        Sound::Sink previous = Sound::setSink([&](Sound::Kind) { ++outerBeeps; });
        {
            SoundRecorder sounds;
            Sound::beep();
            Sound::exclamation();
            Sound::exclamation();
            QCOMPARE(sounds.beeps(), 1);
            QCOMPARE(sounds.exclamations(), 2);
            QCOMPARE(outerBeeps, 0);
        }
        Sound::beep();
        QCOMPARE(outerBeeps, 1);
        Sound::setSink(previous);
    }

    void dialogUnitsRoundLikeMulDiv() {
        const DialogUnits du(6, 13);
        QCOMPARE(du.x(4), 6);
        QCOMPARE(du.y(8), 13);
        QCOMPARE(du.x(1), 2);    // 1.5 rounds up
        QCOMPARE(du.x(3), 5);    // 4.5 rounds up
        QCOMPARE(du.y(3), 5);    // 4.875
        QCOMPARE(du.x(-1), -2);  // half away from zero
        // Edges convert, so neighbours stay flush and sizes may differ by a pixel.
        const QRect a = du.rect(7, 73, 59, 8);
        const QRect b = du.rect(66, 73, 8, 8);
        QCOMPARE(a.right() + 1, b.left());
        QCOMPARE(a, QRect(11, 119, 88, 13));
    }

    void controlsTakeTheNameOfTheirLabel() {
        QWidget w;
        auto* label = new QLabel(QStringLiteral("&Tagesfarbe:"), &w);
        auto* picker = new CColourPicker(&w);
        label->setBuddy(picker);
        auto* timeLabel = new QLabel(QStringLiteral("Uhrzeit:"), &w);
        auto* time = new COXMaskedEdit(QStringLiteral("##:##"), &w);
        timeLabel->setBuddy(time);
        auto* named = new COXMaskedEdit(&w);
        named->setAccessibleName(QStringLiteral("Eigener Name"));
        auto* other = new QLabel(QStringLiteral("Anderes:"), &w);
        other->setBuddy(named);
        w.show();
        QCOMPARE(picker->accessibleName(), QStringLiteral("Tagesfarbe"));
        QCOMPARE(time->accessibleName(), QStringLiteral("Uhrzeit"));
        QCOMPARE(named->accessibleName(), QStringLiteral("Eigener Name"));
        QWidget lonely;
        QVERIFY(!NameFromBuddyLabel(&lonely));
    }

    void baseUnitsComeFromTheFont() {
        QFont small("DejaVu Sans");
        small.setPixelSize(10);
        QFont large = small;
        large.setPixelSize(20);
        const DialogUnits a(small), b(large);
        QCOMPARE(a.baseY(), QFontMetrics(small).height());
        QVERIFY(b.baseX() > a.baseX());
        QVERIFY(a.baseX() >= 3 && a.baseX() <= 8);
        QPushButton w;
        w.setFont(large);
        QCOMPARE(DialogUnits::of(&w).baseX(), b.baseX());
    }
};

QTEST_MAIN(DialogSeamsTest)
#include "DialogSeamsTest.moc"
