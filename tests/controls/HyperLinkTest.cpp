// The link label: colours, target and text defaults, sizing, and opening through a fake
// opener.

#include <QApplication>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QTest>
#include <mutex>

#include "controls/DialogRecorder.h"
#include "controls/HyperLink.h"
#include "controls/Sound.h"
#include "platform/OpenUrl.h"

using namespace tavolin;
using namespace tavolin::ui;

namespace {

class FakeOpener : public UrlOpener {
public:
    explicit FakeOpener(int result) : m_result(result) {}
    int Open(const std::string& target) override {
        std::lock_guard lock(m_mutex);
        m_targets.push_back(target);
        return m_result;
    }
    std::vector<std::string> targets() {
        std::lock_guard lock(m_mutex);
        return m_targets;
    }

private:
    int m_result;
    std::mutex m_mutex;
    std::vector<std::string> m_targets;
};

struct ScopedOpener {
    std::shared_ptr<FakeOpener> fake;
    explicit ScopedOpener(int result) : fake(std::make_shared<FakeOpener>(result)) {}
};

}  // namespace

class HyperLinkTest : public QObject {
    Q_OBJECT

private slots:
    void targetAndTextDefaultToEachOther() {
        QWidget w;
        HyperLink empty(&w);
        empty.SetTarget(QStringLiteral("https://tavolin.example/"));
        empty.Attach();
        QCOMPARE(empty.text(), QStringLiteral("https://tavolin.example/"));
        QCOMPARE(empty.toolTip(), QStringLiteral("https://tavolin.example/"));

        HyperLink texted(QStringLiteral("mailto:info@tavolin.example"), &w);
        texted.Attach();
        QCOMPARE(texted.Target(), QStringLiteral("mailto:info@tavolin.example"));
        QVERIFY(texted.font().underline());
        QCOMPARE(texted.cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(texted.accessibleName(), QStringLiteral("mailto:info@tavolin.example"));
    }

    void coloursFollowHoverAndVisited() {
        QWidget w;
        HyperLink link(QStringLiteral("Tavolin"), &w);
        const QColor highlight = link.palette().color(QPalette::Highlight);
        link.Attach();
        QCOMPARE(link.CurrentTextColour(), QColor(0, 0, 255));
        QCOMPARE(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QApplication::sendEvent(&link, &enter);
        QVERIFY(link.IsOverControl());
        QCOMPARE(link.palette().color(QPalette::WindowText), highlight);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&link, &leave);
        QCOMPARE(link.CurrentTextColour(), QColor(0, 0, 255));
        link.SetVisited(true);
        QCOMPARE(link.palette().color(QPalette::WindowText), QColor(85, 26, 139));
    }

    void successfulOpenMarksVisited() {
        ScopedOpener opener(42);
        SoundRecorder sounds;
        DialogRecorder dialogs;
        QWidget w;
        HyperLink link(QStringLiteral("https://tavolin.example/"), &w);
        link.SetOpener(opener.fake);
        w.show();
        QSignalSpy opened(&link, &HyperLink::opened);
        QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(2, 2));
        QTRY_COMPARE(opened.count(), 1);
        QCOMPARE(opener.fake->targets(), std::vector<std::string>{"https://tavolin.example/"});
        QVERIFY(link.Visited());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&link, &leave);
        QCOMPARE(link.CurrentTextColour(), QColor(85, 26, 139));
        QCOMPARE(sounds.count(), 0);
        QVERIFY(dialogs.messages().empty());
    }

    void failedOpenBeepsAndExplains() {
        struct Case {
            int result;
            const char* reason;
        };
        const Case cases[] = {
            {31, "Mit dieser Dateinamenerweiterung ist\nkein Programm verknüpft."},
            {26, "Es ist eine Freigabeverletzung aufgetreten. "},
            {2, "Die angegebene Datei wurde nicht gefunden."},
            {0, "Das Betriebssystem hat nicht genügend\nSpeicher oder Ressourcen."},
            {7, "Unbekannter Fehler (7) aufgetreten."},
        };
        for (const Case& c : cases) {
            ScopedOpener opener(c.result);
            SoundRecorder sounds;
            DialogRecorder dialogs;
            QWidget w;
            HyperLink link(QStringLiteral("mailto:someone@example.org"), &w);
            link.SetOpener(opener.fake);
            QSignalSpy opened(&link, &HyperLink::opened);
            link.Open();
            QTRY_COMPARE(opened.count(), 1);
            QCOMPARE(sounds.exclamations(), 1);
            QCOMPARE(dialogs.messages().size(), size_t{1});
            QCOMPARE(dialogs.messages()[0].text,
                     QString::fromUtf8("Der Link kann nicht geöffnet werden:\n\n") +
                         QString::fromUtf8(c.reason));
            QCOMPARE(dialogs.messages()[0].caption, QStringLiteral("Fehler"));
            QCOMPARE(dialogs.messages()[0].icon, MessageBox::Icon::Warning);
            QVERIFY(!link.Visited());
        }
    }

    void adjustToFitKeepsTheAlignedEdge() {
        QWidget w;
        HyperLink left(QStringLiteral("Link"), &w);
        left.setGeometry(10, 10, 200, 40);
        left.Attach();
        const QSize text =
            QFontMetrics(left.font()).size(Qt::TextSingleLine, QStringLiteral("Link"));
        QCOMPARE(left.geometry(), QRect(QPoint(10, 10), text));

        HyperLink right(QStringLiteral("Link"), &w);
        right.setAlignment(Qt::AlignRight | Qt::AlignTop);
        right.setGeometry(10, 10, 200, 40);
        right.Attach();
        QCOMPARE(right.geometry().right(), 209);
        QCOMPARE(right.geometry().top(), 10);

        HyperLink centred(QStringLiteral("Link"), &w);
        centred.setAlignment(Qt::AlignCenter);
        centred.setGeometry(10, 10, 200, 40);
        centred.Attach();
        QVERIFY(std::abs(centred.geometry().center().x() - 109) <= 1);
        QVERIFY(std::abs(centred.geometry().center().y() - 29) <= 1);
        QCOMPARE(centred.size(), text);

        HyperLink fixed(QStringLiteral("Link"), &w);
        fixed.SetAdjustToFit(false);
        fixed.setGeometry(10, 10, 200, 40);
        fixed.Attach();
        QCOMPARE(fixed.size(), QSize(200, 40));
    }
};

QTEST_MAIN(HyperLinkTest)
#include "HyperLinkTest.moc"
