#pragma once
// The animated window icon: frames of 16 x 16 pixels cut from one picture strip, white taken as
// transparent.

#include <QIcon>
#include <QPixmap>
#include <QString>
#include <QVector>

namespace tavolin {

class TitleIconAnimation {
public:
    /// Cuts frameCount frames from the strip. False only for a frame count below 1; a strip that
    /// cannot be read leaves the animation without frames, which Advance reports.
    bool Load(const QString& stripPath, int frameCount);

    /// Steps to the next frame (wrapping at the frame count) and returns it; a null icon when
    /// there are no frames.
    QIcon Advance();

    bool HasFrames() const { return !m_frames.isEmpty(); }
    int FrameIndex() const { return m_index; }
    int FrameCount() const { return m_count; }

private:
    QVector<QIcon> m_frames;
    int m_index = -1;
    int m_count = 0;
};

}  // namespace tavolin
