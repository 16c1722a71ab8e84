#include "controls/ControlId.h"

#include <QObject>

namespace tavolin::ui {

int ControlId(const QObject* control) {
    if (!control) return 0;
    const QString name = control->objectName();
    if (!name.startsWith(QLatin1String("ctl"))) return 0;
    bool ok = false;
    const int id = name.mid(3).toInt(&ok);
    return ok && id > 0 ? id : 0;
}

}  // namespace tavolin::ui
