#include "app/TitleIconAnimation.h"

#include <QBitmap>
#include <QImage>

namespace tavolin {

namespace {
constexpr int kFrameSide = 16;
}

bool TitleIconAnimation::Load(const QString& stripPath, int frameCount) {
    m_frames.clear();
    m_index = -1;
    m_count = frameCount;
    if (frameCount < 1) return false;
    const QImage strip(stripPath);
    if (strip.isNull() || strip.width() < frameCount * kFrameSide || strip.height() < kFrameSide)
        return true;
    for (int i = 0; i < frameCount; ++i) {
        QPixmap frame = QPixmap::fromImage(strip.copy(i * kFrameSide, 0, kFrameSide, kFrameSide));
        frame.setMask(frame.createMaskFromColor(Qt::white, Qt::MaskInColor));
        m_frames.push_back(QIcon(frame));
    }
    return true;
}

QIcon TitleIconAnimation::Advance() {
    if (m_frames.isEmpty()) return {};
    m_index = (m_index + 1) % m_count;
    return m_frames[m_index];
}

}  // namespace tavolin
