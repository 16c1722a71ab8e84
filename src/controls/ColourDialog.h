#pragma once
// The system colour dialog, with a test hook.
//
// Test hooks: ColourDialog::setNextColour(c) answers the next dialog with OK and colour c,
// ColourDialog::setNextCancel() with Cancel, both without showing it; while a DialogRecorder
// lives no dialog is shown at all (an unanswered one is cancelled) and every request is
// recorded with its initial colour.

#include <QColor>
#include <QString>
#include <optional>

class QWidget;

namespace tavolin::ui {

class ColourDialog {
public:
    struct Request {
        QColor initial;
        QString title;
        std::optional<QColor> result;  // empty for Cancel
    };

    /// Opens the dialog on initial (offering every colour); the colour on OK, nothing on
    /// Cancel.
    static std::optional<QColor> getColour(QWidget* parent, const QColor& initial,
                                           const QString& title = QString());

    /// Test hooks (a queue shared by both).
    static void setNextColour(const QColor& colour);
    static void setNextCancel();
};

}  // namespace tavolin::ui
