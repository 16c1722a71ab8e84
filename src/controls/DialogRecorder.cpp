#include "controls/DialogRecorder.h"

namespace tavolin::ui {
namespace {

DialogRecorder*& Innermost() {
    static DialogRecorder* innermost = nullptr;
    return innermost;
}

}  // namespace

DialogRecorder::DialogRecorder() : m_outer(Innermost()) {
    Innermost() = this;
}

DialogRecorder::~DialogRecorder() {
    Innermost() = m_outer;
}

DialogRecorder* DialogRecorder::active() {
    return Innermost();
}

void DialogRecorder::clear() {
    m_messages.clear();
    m_files.clear();
    m_colours.clear();
}

}  // namespace tavolin::ui
