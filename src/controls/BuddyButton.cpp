#include "controls/BuddyButton.h"

#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFrame>

#include "controls/LastError.h"

namespace tavolin::ui {
namespace {

const char* const kAttachmentName = "tavolinBuddyButton";

// Lives as a child of the edit, so it goes with the edit; watches the button to let go of
// the edit when the button goes first.
class BuddyAttachment : public QObject {
public:
    BuddyAttachment(QLineEdit* edit, QWidget* button, int side)
        : QObject(edit), m_edit(edit), m_button(button), m_width(button->width()), m_side(side) {
        setObjectName(QLatin1String(kAttachmentName));
        m_oldMargins = edit->textMargins();
        QMargins margins = m_oldMargins;
        if (side == BuddyLeft) {
            margins.setLeft(margins.left() + m_width);
        } else {
            margins.setRight(margins.right() + m_width);
        }
        edit->setTextMargins(margins);
        edit->installEventFilter(this);
        m_buttonGone = connect(button, &QObject::destroyed, this, [this] {
            if (m_edit) {
                m_edit->setTextMargins(m_oldMargins);
                m_edit->removeEventFilter(this);
            }
            deleteLater();
        });
        // Clicks on the strip must reach the button, so it lies directly above the edit.
        if (button->parentWidget() == edit->parentWidget()) edit->stackUnder(button);
        Place();
    }

    // Replaced by a new attachment: the edit gets its margins back.
    void Release() {
        disconnect(m_buttonGone);
        m_edit->removeEventFilter(this);
        m_edit->setTextMargins(m_oldMargins);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_edit) {
            switch (event->type()) {
                case QEvent::Resize:
                case QEvent::Move:
                case QEvent::Show:
                case QEvent::StyleChange:
                case QEvent::ParentChange:
                    Place();
                    break;
                default:
                    break;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // The strip of the recorded width at the chosen end of the area inside the frame.
    void Place() {
        if (!m_edit || !m_button) return;
        QStyleOptionFrame option;
        option.initFrom(m_edit);
        option.rect = m_edit->rect();
        option.lineWidth = m_edit->hasFrame() ? m_edit->style()->pixelMetric(
                                                    QStyle::PM_DefaultFrameWidth, &option, m_edit)
                                              : 0;
        option.midLineWidth = 0;
        option.state |= QStyle::State_Sunken;
        option.features = QStyleOptionFrame::None;
        QRect inside =
            m_edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, m_edit);
        if (!inside.isValid()) inside = m_edit->rect();
        QRect strip(0, inside.top(), m_width, inside.height());
        if (m_side == BuddyLeft) {
            strip.moveLeft(inside.left());
        } else {
            strip.moveLeft(inside.right() + 1 - m_width);
        }
        QWidget* parent = m_button->parentWidget();
        QPoint topLeft = parent ? parent->mapFromGlobal(m_edit->mapToGlobal(strip.topLeft()))
                                : m_edit->mapToGlobal(strip.topLeft());
        m_button->setGeometry(QRect(topLeft, strip.size()));
    }

    QPointer<QLineEdit> m_edit;
    QPointer<QWidget> m_button;
    int m_width;
    int m_side;
    QMargins m_oldMargins;
    QMetaObject::Connection m_buttonGone;
};

}  // namespace

int AttachBuddyButton(QLineEdit* edit, QWidget* button, int side) {
    if (side != BuddyLeft && side != BuddyRight) {
        SetLastError(kErrorInvalidData);
        return 0;
    }
    if (!edit || !button) {
        SetLastError(kErrorInvalidWindowHandle);
        return 0;
    }
    if (static_cast<QWidget*>(edit) == button) {
        SetLastError(kErrorInvalidParameter);
        return 0;
    }
    if (auto* old =
            edit->findChild<QObject*>(QLatin1String(kAttachmentName), Qt::FindDirectChildrenOnly)) {
        auto* attachment = static_cast<BuddyAttachment*>(old);
        attachment->Release();
        delete attachment;
    }
    new BuddyAttachment(edit, button, side);
    return 1;
}

}  // namespace tavolin::ui
