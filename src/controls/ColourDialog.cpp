#include "controls/ColourDialog.h"

#include <QColorDialog>
#include <QGuiApplication>
#include <deque>

#include "controls/DialogRecorder.h"

namespace tavolin::ui {
namespace {

std::deque<std::optional<QColor>>& NextColours() {
    static std::deque<std::optional<QColor>> colours;
    return colours;
}

}  // namespace

void ColourDialog::setNextColour(const QColor& colour) {
    NextColours().push_back(colour);
}
void ColourDialog::setNextCancel() {
    NextColours().push_back(std::nullopt);
}

std::optional<QColor> ColourDialog::getColour(QWidget* parent, const QColor& initial,
                                              const QString& title) {
    Request request{initial, title, std::nullopt};
    DialogRecorder* recorder = DialogRecorder::active();
    auto& queue = NextColours();
    if (!queue.empty()) {
        request.result = queue.front();
        queue.pop_front();
    } else if (!recorder && QGuiApplication::platformName() != QLatin1String("offscreen")) {
        const QColor chosen = QColorDialog::getColor(initial, parent, title);
        if (chosen.isValid()) request.result = chosen;
    }
    if (recorder) recorder->m_colours.push_back(request);
    return request.result;
}

}  // namespace tavolin::ui
