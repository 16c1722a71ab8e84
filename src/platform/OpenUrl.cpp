#include "platform/OpenUrl.h"

#include <mutex>

namespace tavolin {
namespace {

std::mutex g_mutex;

std::shared_ptr<UrlOpener>& Installed() {
    static std::shared_ptr<UrlOpener> opener;
    return opener;
}

}  // namespace

int OpenUrl(const std::string& target) {
    std::shared_ptr<UrlOpener> opener;
    {
        std::lock_guard lock(g_mutex);
        if (!Installed()) Installed() = MakeSystemUrlOpener();
        opener = Installed();
    }
    return opener->Open(target);
}

std::shared_ptr<UrlOpener> SetUrlOpener(std::shared_ptr<UrlOpener> opener) {
    std::lock_guard lock(g_mutex);
    std::shared_ptr<UrlOpener> previous = std::move(Installed());
    Installed() = std::move(opener);
    return previous;
}

}  // namespace tavolin
