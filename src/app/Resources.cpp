#include "app/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitTavolinResources() {
    Q_INIT_RESOURCE(tavolin);
}

namespace tavolin {

void EnsureResources() {
    static const bool done = (InitTavolinResources(), true);
    (void)done;
}

}  // namespace tavolin
