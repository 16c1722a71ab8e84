// tavolin-controls-demo: a gallery of the custom controls with the program's own texts, so
// they can be tried by hand. The colour pickers store into a config.ini of their own
// (--config PATH, default in the temporary directory). --open-popup opens the day-colour
// popup once the window is up (for screenshots).

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "controls/BuddyButton.h"
#include "controls/CColourPicker.h"
#include "controls/COXMaskedEdit.h"
#include "controls/DialogUnits.h"
#include "controls/FileDialog.h"
#include "controls/HyperLink.h"
#include "settings/Settings.h"

using namespace tavolin::ui;

namespace {

struct PickerRow {
    int labelId;
    int pickerId;
    const char* label;
    const tavolin::ColourKeys& keys;
    ColourValue colour;
};

const PickerRow kPickers[] = {
    {1011, 1012, "Tagesfarbe", tavolin::keys::DayColour, Rgb(255, 255, 255)},
    {1017, 1018, "Feiertagsfarbe", tavolin::keys::HolidayColour, Rgb(255, 0, 0)},
    {1020, 1021, "Monatsfarbe", tavolin::keys::MonthColour, Rgb(255, 215, 0)},
    {1023, 1024, "akt. Tagesfarbe", tavolin::keys::CurrentDayColour, kAutomaticColour},
};

class Gallery : public QWidget {
public:
    explicit Gallery(const QString& configPath) {
        setWindowTitle(QStringLiteral("Tavolin controls"));
        const DialogUnits du = DialogUnits::of(this);
        setFixedSize(du.size(250, 178));

        auto* status =
            new QLabel(QStringLiteral("Choose a colour, type a time, open a link."), this);
        du.place(status, 7, 162, 236, 10);

        auto* colours = new QGroupBox(QStringLiteral("Farben"), this);
        du.place(colours, 4, 4, 120, 84);
        int top = 18;
        for (const PickerRow& row : kPickers) {
            const QString name = QString::fromUtf8(row.label);
            auto* label = new QLabel(name + QLatin1Char(':'), this);
            label->setObjectName(QStringLiteral("ctl%1").arg(row.labelId));
            du.place(label, 10, top + 3, 60, 8);
            auto* picker = new CColourPicker(this);
            picker->setObjectName(QStringLiteral("ctl%1").arg(row.pickerId));
            du.place(picker, 74, top, 39, 14);
            picker->setAccessibleName(name);
            label->setBuddy(picker);
            picker->ChangeDefaultText(QStringLiteral("Automatisch"));
            picker->ChangeCustomText(QStringLiteral("Weitere ..."));
            picker->ChangeColour(row.colour);
            picker->ConfigureStorage(configPath.toStdString(), row.keys.section, row.keys.prefix);
            connect(picker, &CColourPicker::colourConfirmed, status,
                    [status, name, configPath](ColourValue c, int id) {
                        status->setText(QStringLiteral("%1 (%2): %3, %4, %5 stored in %6")
                                            .arg(name)
                                            .arg(id)
                                            .arg(RedOf(c))
                                            .arg(GreenOf(c))
                                            .arg(BlueOf(c))
                                            .arg(QDir::toNativeSeparators(configPath)));
                    });
            if (!m_firstPicker) m_firstPicker = picker;
            top += 16;
        }

        auto* pictureLabel = new QLabel(QStringLiteral("Hintergrundbild:"), this);
        du.place(pictureLabel, 130, 8, 110, 8);
        auto* path = new QLineEdit(this);
        path->setObjectName(QStringLiteral("ctl1004"));
        path->setAccessibleName(QStringLiteral("Hintergrundbild"));
        pictureLabel->setBuddy(path);
        du.place(path, 130, 18, 113, 14);
        auto* browse = new QPushButton(QStringLiteral("..."), this);
        browse->setObjectName(QStringLiteral("ctl1002"));
        browse->setAccessibleName(QStringLiteral("Durchsuchen"));
        du.place(browse, 226, 18, 14, 14);
        AttachBuddyButton(path, browse, BuddyRight);
        connect(browse, &QPushButton::clicked, this, [this, path] {
            const QString file = FileDialog::getOpenFileName(
                this, QString(), path->text(),
                QString::fromUtf8(" Alle unterstützten Formate |*.jpg;*.jpeg;*.gif;*.tiff;*.png;"
                                  "*.bmp| Bitmaps (*.bmp) |*.bmp| JPEG-Bilder (*.jpg;*.jpeg)|"
                                  "*.jpg;*.jpeg| GIF-Bilder (*.gif) |*.gif| PNG-Bilder (*.png) "
                                  "|*.png| TIFF-Bilder (*.tif;*.tiff) |*.tif;*.tiff||"));
            if (!file.isEmpty()) path->setText(file);
        });

        auto* timeLabel = new QLabel(QStringLiteral("Uhrzeit:"), this);
        du.place(timeLabel, 130, 43, 40, 8);
        auto* time = new COXMaskedEdit(QStringLiteral("##:##"), this);
        time->setObjectName(QStringLiteral("ctl1033"));
        time->ChangePrompt(QLatin1Char('0'));
        time->setAccessibleName(QStringLiteral("Uhrzeit"));
        timeLabel->setBuddy(time);
        du.place(time, 174, 40, 30, 14);
        auto* note = new QLineEdit(this);
        note->setAccessibleName(QStringLiteral("Bemerkung"));
        note->setPlaceholderText(QStringLiteral("(tab here to leave the time field)"));
        du.place(note, 130, 58, 113, 14);

        auto* contact = new QGroupBox(QStringLiteral("Kontakt"), this);
        du.place(contact, 4, 96, 239, 48);
        auto* mail = new HyperLink(QStringLiteral("info@tavolin.example"), this);
        mail->setObjectName(QStringLiteral("ctl1037"));
        mail->SetTarget(QString::fromUtf8(
            "mailto:info@tavolin.example?subject=Fragen und Anregungen zu Tavolin"));
        du.place(mail, 20, 112, 140, 8);
        mail->Attach();
        mail->SetTipText(QStringLiteral("Senden Sie Ihre Meinung zu diesem Programm"));
        auto* web = new HyperLink(QStringLiteral("https://tavolin.example/"), this);
        web->setObjectName(QStringLiteral("ctl1038"));
        du.place(web, 20, 125, 140, 8);
        web->Attach();
        web->SetTipText(QStringLiteral("Besuchen Sie den Autor im Internet"));
    }

    CColourPicker* firstPicker() const { return m_firstPicker; }

private:
    CColourPicker* m_firstPicker = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Tavolin"));
    QString config = QDir::temp().filePath(QStringLiteral("tavolin-controls-demo.ini"));
    bool openPopup = false;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config") && i + 1 < args.size()) {
            config = args[++i];
        } else if (args[i] == QLatin1String("--open-popup")) {
            openPopup = true;
        }
    }
    Gallery gallery(config);
    gallery.move(40, 40);
    gallery.show();
    if (openPopup) {
        QTimer::singleShot(300, &gallery, [&gallery] { gallery.firstPicker()->OpenPopup(); });
    }
    return app.exec();
}
