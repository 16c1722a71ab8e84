#include "app/windows/WindowsProgram.h"

#include <windows.h>

#include <vector>

namespace tavolin {

QString WindowsProgramPath() {
    // Paths longer than MAX_PATH are possible; grow until the name fits.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), DWORD(buffer.size()));
        if (n == 0) return QString();
        if (n < buffer.size()) return QString::fromWCharArray(buffer.data(), int(n));
        if (buffer.size() >= 32768) return QString();
        buffer.resize(buffer.size() * 2);
    }
}

std::optional<int> RunWindowsRegistration(AutomationSwitch automation) {
    switch (automation) {
        case AutomationSwitch::Register:
        case AutomationSwitch::Unregister:
            return 0;
        default:
            return std::nullopt;
    }
}

}  // namespace tavolin
