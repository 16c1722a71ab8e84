#pragma once
// "Info über Tavolin": the program's name and version and two links to the author.

#include <QDialog>

class QLabel;

namespace tavolin {

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    static const QString kMailTarget;
    static const QString kWebTarget;

    QWidget* mailLink() const { return m_mail; }
    QWidget* webLink() const { return m_web; }

private:
    QWidget* m_mail = nullptr;  // 1037
    QWidget* m_web = nullptr;   // 1038
};

}  // namespace tavolin
