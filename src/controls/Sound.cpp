#include "controls/Sound.h"

#include <QApplication>

namespace tavolin::ui {
namespace {

Sound::Sink& CurrentSink() {
    static Sound::Sink sink;
    return sink;
}

}  // namespace

void Sound::play(Kind kind) {
    if (const Sink& sink = CurrentSink()) {
        sink(kind);
    } else if (qApp) {
        QApplication::beep();
    }
}

Sound::Sink Sound::setSink(Sink sink) {
    Sink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

SoundRecorder::SoundRecorder() {
    m_previous = Sound::setSink([this](Sound::Kind kind) {
        if (kind == Sound::Kind::Beep) {
            ++m_beeps;
        } else {
            ++m_exclamations;
        }
    });
}

SoundRecorder::~SoundRecorder() {
    Sound::setSink(std::move(m_previous));
}

}  // namespace tavolin::ui
