#pragma once
// The drop-down of CColourPicker: a borderless popup with 40 named colours in 8 columns, an
// "Automatisch" box above the grid and a "Weitere ..." box below it that opens the colour
// dialog (either box is left out when its text is empty). It reports to its picker and
// deletes itself when it closes.
//
// Items: 0..39 the grid colours, -3 "Automatisch", -2 "Weitere ...", -1 nothing.

#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>

#include "controls/ColourValue.h"

namespace tavolin::ui {

class CColourPicker;

struct ColourTableEntry {
    int red;
    int green;
    int blue;
    const char* name;  // UTF-8, the spelling the program has always shown
    ColourValue Value() const { return Rgb(red, green, blue); }
};

/// The 40 colours of the grid, row by row.
const std::array<ColourTableEntry, 40>& ColourTable();

class ColourDropDown : public QWidget {
    Q_OBJECT

public:
    enum Item : int { NoItem = -1, CustomItem = -2, AutomaticItem = -3 };
    static constexpr int kColumns = 8;
    static constexpr int kColours = 40;
    static constexpr int kRows = (kColours + kColumns - 1) / kColumns;

    /// Opens below point (the button's bottom-left corner in global coordinates), kept on the
    /// screen; buttonTop is the global y of the button's top, the popup's bottom edge when it
    /// must open upwards.
    ColourDropDown(QPoint point, int buttonTop, ColourValue colour, CColourPicker* picker,
                   const QString& defaultText, const QString& customText);
    ~ColourDropDown() override;

    int HotItem() const { return m_hot; }
    int ChosenItem() const { return m_chosen; }
    int BoxSize() const { return m_boxSize; }
    int Margin() const { return m_margin; }
    QRect DefaultBox() const { return m_defaultBox; }
    QRect CustomBox() const { return m_customBox; }
    /// The cell of a grid colour, in the popup's coordinates.
    QRect CellRect(int index) const;
    /// The item at a point in the popup's coordinates.
    int ItemAt(QPoint pos) const;
    /// The item an arrow key leads to from item (Qt::Key_Left ... Qt::Key_Down).
    int ItemAfterKey(int item, int key) const;
    ColourValue ColourOfItem(int item) const;

    /// Ends the popup: confirms the hot item, or cancels.
    void Confirm();
    void Cancel();

signals:
    void colourHot(tavolin::ui::ColourValue colour);
    void colourConfirmed(tavolin::ui::ColourValue colour);
    void colourCancelled(tavolin::ui::ColourValue colour);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Layout(QPoint point, int buttonTop);
    void ChangeHot(int item);
    void Finish(bool confirmed, ColourValue colour);
    void PaintCell(class QPainter& p, const QRect& cell, ColourValue colour, bool hot, bool chosen,
                   const QColor& chosenBackground, bool automatic);
    bool HasDefault() const { return !m_defaultText.isEmpty(); }
    bool HasCustom() const { return !m_customText.isEmpty(); }

    QPointer<CColourPicker> m_picker;
    QString m_defaultText;
    QString m_customText;
    ColourValue m_initial;
    int m_boxSize = 18;
    int m_margin = 2;
    int m_gridTop = 0;
    int m_hot = NoItem;
    int m_chosen = NoItem;
    QRect m_defaultBox;
    QRect m_customBox;
    bool m_finished = false;
};

}  // namespace tavolin::ui
