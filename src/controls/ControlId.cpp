#include "controls/ControlId.h"

#include <QObject>
#include <QVariant>

namespace tavolin::ui {

int ControlId(const QObject* control) {
    if (!control) return 0;
    const int byProperty = control->property("controlId").toInt();
    if (byProperty > 0) return byProperty;
    const QString name = control->objectName();
    if (!name.startsWith(QLatin1String("ctl"))) return 0;
    bool ok = false;
    const int id = name.mid(3).toInt(&ok);
    return ok && id > 0 ? id : 0;
}

}  // namespace tavolin::ui
