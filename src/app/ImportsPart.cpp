#include "app/ImportsPart.h"

#include "app/ImportCommands.h"

namespace tavolin {

std::unique_ptr<ImportsPart> MakeImportsPart() {
    return std::make_unique<ImportCommands>();
}

}  // namespace tavolin
