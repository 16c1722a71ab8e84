#include "app/CAboutDlg.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/Resources.h"
#include "controls/DialogUnits.h"
#include "controls/HyperLink.h"

namespace tavolin {

const QString CAboutDlg::kMailTarget =
    QStringLiteral("mailto:pelmar@example.org?subject=Fragen und Anregungen zu Tavolin");
const QString CAboutDlg::kWebTarget = QStringLiteral("https://tavolin.example.org");

CAboutDlg::CAboutDlg(std::shared_ptr<UrlOpener> opener, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    EnsureResources();
    setObjectName(QStringLiteral("CAboutDlg"));
    setWindowTitle(QStringLiteral("Info über Tavolin"));
    setModal(true);
    const ui::DialogUnits du = ui::DialogUnits::of(this);

    auto* icon = new QLabel(this);
    du.place(icon, 11, 17, 20, 20);
    icon->setObjectName(QStringLiteral("icon128"));
    icon->setPixmap(QPixmap(QStringLiteral(":/art/icon128.png")));
    icon->setScaledContents(true);
    icon->setAccessibleName(QStringLiteral("Tavolin"));

    auto* name = new QLabel(QStringLiteral("Tavolin Version 2.4"), this);
    du.place(name, 40, 10, 119, 8);
    auto* second = new QLabel(QStringLiteral("© 2026 Pelmar"), this);
    du.place(second, 40, 25, 144, 8);
    auto* group = new QGroupBox(QStringLiteral("Kontakt"), this);
    // The title on the frame line, as in the main dialog.
    group->setStyleSheet(QStringLiteral(
        "QGroupBox { border: 1px solid palette(mid); border-radius: 2px; margin-top: 0.5em; }"
        "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
        " left: 6px; padding: 0 2px; }"));
    du.place(group, 7, 45, 177, 48);

    auto link = [this, &du, &opener](int id, const QString& target, const QString& text, const QString& tip,
                            int top) {
        auto* l = new ui::HyperLink(text, this);
        l->setObjectName(QStringLiteral("ctl%1").arg(id));
        du.place(l, 20, top, 140, 8);
        l->SetTarget(target);
        l->SetOpener(opener);
        l->Attach();
        l->SetTipText(tip);
        return l;
    };
    m_mail = link(1037, kMailTarget, QStringLiteral("pelmar@example.org"),
                  QStringLiteral("Senden Sie Ihre Meinung zu diesem Programm"), 61);
    m_web = link(1038, kWebTarget, QStringLiteral("tavolin.example.org"),
                 QStringLiteral("Besuchen Sie den Autor im Internet"), 74);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ctl1"));
    du.place(ok, 71, 98, 50, 16);
    ok->setDefault(true);
    ok->setFocus();  // Enter closes the window, whatever else can take the focus
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    setFixedSize(du.size(191, 121));
}

}  // namespace tavolin
