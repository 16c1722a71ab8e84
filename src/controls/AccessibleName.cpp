#include "controls/AccessibleName.h"

#include <QLabel>
#include <QWidget>

namespace tavolin::ui {

bool NameFromBuddyLabel(QWidget* control) {
    if (!control) return false;
    if (!control->accessibleName().isEmpty()) return true;
    QWidget* top = control->window();
    for (QLabel* label : top->findChildren<QLabel*>()) {
        if (label->buddy() != control) continue;
        QString name = label->text();
        // Mnemonic markers are not spoken; "&&" stands for a real ampersand.
        name.replace(QLatin1String("&&"), QLatin1String("\x01"));
        name.remove(QLatin1Char('&'));
        name.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        name = name.trimmed();
        if (name.endsWith(QLatin1Char(':'))) name.chop(1);
        control->setAccessibleName(name.trimmed());
        return !name.isEmpty();
    }
    return false;
}

}  // namespace tavolin::ui
