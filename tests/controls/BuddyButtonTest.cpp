// The browse button fastened into a line edit.

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "controls/BuddyButton.h"
#include "controls/LastError.h"

using namespace tavolin::ui;

namespace {

struct PathForm {
    QWidget window;
    QLineEdit* edit;
    QPushButton* button;
    PathForm() {
        edit = new QLineEdit(&window);
        edit->setGeometry(10, 10, 200, 24);
        button = new QPushButton(QStringLiteral("..."), &window);
        button->setGeometry(220, 10, 26, 24);
        window.resize(300, 60);
        window.show();
    }
    QRect buttonInEdit() const {
        return QRect(edit->mapFrom(&window, button->pos()), button->size());
    }
};

}  // namespace

class BuddyButtonTest : public QObject {
    Q_OBJECT

private slots:
    void badArgumentsFailWithTheirErrors() {
        PathForm f;
        SetLastError(0, ErrorLevel::None);
        QCOMPARE(AttachBuddyButton(f.edit, f.button, 3), 0);
        QCOMPARE(LastError(), 13);
        QCOMPARE(LastErrorLevel(), ErrorLevel::Error);
        QCOMPARE(f.edit->textMargins(), QMargins());
        QCOMPARE(f.button->pos(), QPoint(220, 10));
        QCOMPARE(AttachBuddyButton(nullptr, f.button, 2), 0);
        QCOMPARE(LastError(), 1400);
        QCOMPARE(AttachBuddyButton(f.edit, nullptr, 1), 0);
        QCOMPARE(LastError(), 1400);
    }

    void buttonStaysInsideTheEditFrame() {
        PathForm f;
        QCOMPARE(AttachBuddyButton(f.edit, f.button, BuddyRight), 1);
        QCOMPARE(f.edit->textMargins().right(), 26);
        QRect inEdit = f.buttonInEdit();
        QVERIFY(f.edit->rect().contains(inEdit));
        QVERIFY(inEdit.right() < f.edit->width() - 1);  // inside the border
        QVERIFY(inEdit.right() >= f.edit->width() - 4);
        QCOMPARE(inEdit.width(), 26);

        f.edit->setGeometry(30, 20, 120, 30);
        inEdit = f.buttonInEdit();
        QVERIFY(f.edit->rect().contains(inEdit));
        QVERIFY(inEdit.right() >= f.edit->width() - 4);
        QVERIFY(inEdit.height() >= 30 - 8);

        // Clicks on the strip land on the button, which lies above the edit.
        const QPoint centre = f.button->geometry().center();
        QCOMPARE(f.window.childAt(centre), static_cast<QWidget*>(f.button));
        QSignalSpy clicked(f.button, &QPushButton::clicked);
        QTest::mouseClick(f.button, Qt::LeftButton);
        QCOMPARE(clicked.count(), 1);
    }

    void leftSideAndReattaching() {
        PathForm f;
        QCOMPARE(AttachBuddyButton(f.edit, f.button, BuddyLeft), 1);
        QCOMPARE(f.edit->textMargins().left(), 26);
        QVERIFY(f.buttonInEdit().left() <= 3);
        QVERIFY(f.buttonInEdit().left() > 0);
        QCOMPARE(AttachBuddyButton(f.edit, f.button, BuddyRight), 1);
        QCOMPARE(f.edit->textMargins(), QMargins(0, 0, 26, 0));
    }

    void attachmentEndsWithEitherWidget() {
        PathForm f;
        AttachBuddyButton(f.edit, f.button, BuddyRight);
        delete f.button;
        QCOMPARE(f.edit->textMargins(), QMargins());
        f.edit->resize(90, 24);  // nothing left to move

        PathForm g;
        AttachBuddyButton(g.edit, g.button, BuddyRight);
        delete g.edit;
        g.button->move(1, 1);
        QCOMPARE(g.button->pos(), QPoint(1, 1));
    }
};

QTEST_MAIN(BuddyButtonTest)
#include "BuddyButtonTest.moc"
