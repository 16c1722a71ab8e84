#include "app/QtScreen.h"

#include <QGuiApplication>
#include <QScreen>

namespace tavolin {
namespace {

ScreenSize PhysicalSize(const QScreen* screen) {
    if (!screen) return {};
    const QSize logical = screen->geometry().size();
    const qreal ratio = screen->devicePixelRatio();
    return {qRound(logical.width() * ratio), qRound(logical.height() * ratio)};
}

}  // namespace

void QtScreen::Set(ScreenSize size) {
    const uint64_t packed = (uint64_t(uint32_t(size.width)) << 32) | uint32_t(size.height);
    m_packed.store(packed, std::memory_order_relaxed);
}

ScreenSize QtScreen::PrimarySize() {
    return Read().size;
}

ScreenReading QtScreen::Read() {
    const uint64_t packed = m_packed.load(std::memory_order_relaxed);
    const ScreenSize size{int(int32_t(packed >> 32)), int(int32_t(packed & 0xFFFFFFFFu))};
    if (size.width < 1 || size.height < 1) {
        return {kDefaultScreenSize, false, "no screen known to Qt: default size"};
    }
    return {size, true, "Qt"};
}

std::shared_ptr<QtScreen> QtScreen::FollowPrimary(QObject* guard) {
    auto screen = std::make_shared<QtScreen>();
    std::weak_ptr<QtScreen> weak = screen;
    const auto follow = [weak, guard](QScreen* primary) {
        const auto self = weak.lock();
        if (!self) return;
        self->Set(PhysicalSize(primary));
        if (!primary) return;
        QObject::connect(primary, &QScreen::geometryChanged, guard, [weak, primary] {
            if (const auto s = weak.lock(); s && primary == QGuiApplication::primaryScreen()) {
                s->Set(PhysicalSize(primary));
            }
        });
    };
    follow(QGuiApplication::primaryScreen());
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, guard, follow);
    return screen;
}

}  // namespace tavolin
