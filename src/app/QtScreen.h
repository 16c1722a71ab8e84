#pragma once
// The program's screen: the size Qt already knows (physical pixels of the primary screen),
// kept current as screens come and go. Read from any thread; nothing is started to measure it,
// so a generation never waits for a screen tool and ends at once when the program does.

#include <QObject>
#include <atomic>
#include <memory>

#include "platform/Screen.h"

class QScreen;

namespace tavolin {

class QtScreen final : public Screen {
public:
    ScreenSize PrimarySize() override;
    ScreenReading Read() override;
    ScreenReading Read(std::stop_token stop) override {
        (void)stop;
        return Read();
    }

    /// Sets the size (user-interface thread; also for tests).
    void Set(ScreenSize size);

    /// A screen that follows the application's primary screen; call from the user-interface
    /// thread with a QGuiApplication running. Without a screen the default size is reported.
    static std::shared_ptr<QtScreen> FollowPrimary(QObject* guard);

private:
    std::atomic<uint64_t> m_packed{0};  // width << 32 | height; 0 until known
};

}  // namespace tavolin
