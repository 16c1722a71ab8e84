#include "app/ImportsPart.h"

namespace tavolin {

// No Outlook on this platform; autostart arrives with its own handler.
std::unique_ptr<ImportsPart> MakeImportsPart() {
    return std::make_unique<ImportsPart>();
}

}  // namespace tavolin
