#pragma once
// The two sounds of the controls: the simple beep and the exclamation sound played for a
// refused keystroke or a failed link. Both are QApplication::beep() by default (X11 and most
// desktops offer one bell only); tests install a sink or a SoundRecorder and count them.

#include <functional>

namespace tavolin::ui {

class Sound {
public:
    enum class Kind { Beep, Exclamation };
    using Sink = std::function<void(Kind)>;

    static void beep() { play(Kind::Beep); }
    static void exclamation() { play(Kind::Exclamation); }
    static void play(Kind kind);

    /// Installs the sink and returns the previous one; an empty sink restores the default.
    static Sink setSink(Sink sink);
};

/// Counts the sounds played while it lives (and plays none).
class SoundRecorder {
public:
    SoundRecorder();
    ~SoundRecorder();
    SoundRecorder(const SoundRecorder&) = delete;
    SoundRecorder& operator=(const SoundRecorder&) = delete;

    int count() const { return m_beeps + m_exclamations; }
    int beeps() const { return m_beeps; }
    int exclamations() const { return m_exclamations; }
    void clear() { m_beeps = m_exclamations = 0; }

private:
    int m_beeps = 0;
    int m_exclamations = 0;
    Sound::Sink m_previous;
};

}  // namespace tavolin::ui
