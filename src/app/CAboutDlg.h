#pragma once
// "Info über Tavolin": the program's name and version and two links to the author.

#include <QDialog>
#include <memory>

#include "platform/OpenUrl.h"

namespace tavolin::ui {
class HyperLink;
}

namespace tavolin {

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    /// opener: what the links open their targets with (the program's Context::urlOpener).
    explicit CAboutDlg(std::shared_ptr<UrlOpener> opener, QWidget* parent = nullptr);

    static const QString kMailTarget;
    static const QString kWebTarget;

    ui::HyperLink* mailLink() const { return m_mail; }
    ui::HyperLink* webLink() const { return m_web; }

private:
    ui::HyperLink* m_mail = nullptr;  // 1037
    ui::HyperLink* m_web = nullptr;   // 1038
};

}  // namespace tavolin
