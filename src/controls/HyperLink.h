#pragma once
// A label that is a link: underlined text in the link colour (the visited colour once it was
// opened, the hover colour while the mouse is over it), a pointing-hand cursor, the target as
// tooltip, and on a click the target opened with the desktop's default handler (its UrlOpener). A
// failed open beeps and shows "Unable to open hyperlink:" with the reason.
//
// The label becomes a link when it is first shown (or on Attach()): an empty target is
// taken from the text, an empty text from the target, and the label is sized to its text.
// Opening runs off the user-interface thread; opened() reports the result.

#include <QColor>
#include <QLabel>
#include <QString>
#include <memory>

#include "platform/OpenUrl.h"

namespace tavolin::ui {

class HyperLink : public QLabel {
    Q_OBJECT

public:
    explicit HyperLink(QWidget* parent = nullptr);
    explicit HyperLink(const QString& text, QWidget* parent = nullptr);

    void SetTarget(const QString& target) { m_target = target; }
    /// What opens the target; without one the system's opener for this process's environment.
    void SetOpener(std::shared_ptr<UrlOpener> opener) { m_opener = std::move(opener); }
    QString Target() const { return m_target; }
    /// Sizes the label to its text (once attached) and replaces the tooltip.
    void SetTipText(const QString& text);
    void SetVisited(bool visited);
    bool Visited() const { return m_visited; }

    void SetLinkColour(const QColor& colour);
    void SetVisitedColour(const QColor& colour);
    void SetHoverColour(const QColor& colour);
    void SetUnderline(bool underline);
    /// With adjust-to-fit (the default) the label takes its text's size when attached.
    void SetAdjustToFit(bool on) { m_adjustToFit = on; }

    /// Makes the label a link now (otherwise done when it is first shown).
    void Attach();
    bool IsAttached() const { return m_attached; }
    /// Sizes the label to its text, keeping the edge its alignment names.
    void AdjustWindow();

    /// The colour the text is drawn in now.
    QColor CurrentTextColour() const;
    bool IsOverControl() const { return m_overControl; }

    /// Opens the target as a click does.
    void Open();

    /// The message for a failed open's result ("Unable to open hyperlink:\n\n" + reason).
    static QString ErrorMessage(int result);

signals:
    /// An open finished with result (above 32 is success).
    void opened(int result);

protected:
    void showEvent(QShowEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void UpdateColour();
    void SetOver(bool over);
    void Finished(int result);

    QColor m_linkColour{0, 0, 255};
    QColor m_visitedColour{85, 26, 139};
    QColor m_hoverColour;
    bool m_overControl = false;
    bool m_visited = false;
    bool m_underline = true;
    bool m_adjustToFit = true;
    bool m_attached = false;
    bool m_opening = false;
    QString m_target;
    std::shared_ptr<UrlOpener> m_opener;
};

}  // namespace tavolin::ui
