#pragma once
// Tests address the windows' controls by their object names.

#include <QWidget>

namespace tavolin::test {

/// The window's control with the given object name, as a T; a missing one ends the test run.
template <class T = QWidget>
T* Control(const QWidget& window, const char* name) {
    T* w = window.findChild<T*>(QLatin1String(name));
    if (!w) qFatal("control %s missing or of another kind", name);
    return w;
}

}  // namespace tavolin::test
