#pragma once
// A push button that shows a colour and drops down ColourDropDown when clicked. The chosen
// colour is the button's face; automatic (kAutomaticColour) shows the plain button face. On
// confirmation the picker also stores the colour: prefix + "Rot"/"Gruen"/"Blau" in its
// section of config.ini (ConfigureStorage).
//
// The five notifications of the popup reach the parent as signals carrying the colour and the
// control's identifier (ui::ControlId).

#include <QPointer>
#include <QPushButton>
#include <filesystem>
#include <string>

#include "controls/ColourDropDown.h"
#include "controls/ColourValue.h"
#include "settings/IniFile.h"

namespace tavolin::ui {

class CColourPicker : public QPushButton {
    Q_OBJECT

public:
    explicit CColourPicker(QWidget* parent = nullptr);
    ~CColourPicker() override;

    void ChangeColour(ColourValue colour);
    ColourValue CurrentColour() const { return m_colour; }
    void ChangeTextColour(ColourValue colour);
    ColourValue TextColour() const { return m_textColour; }

    /// The texts of the two boxes of the popup; an empty text leaves the box out.
    void ChangeDefaultText(const QString& text) { m_defaultText = text; }
    void ChangeCustomText(const QString& text) { m_customText = text; }
    QString DefaultText() const { return m_defaultText; }
    QString CustomText() const { return m_customText; }

    /// With track selection the colour follows the hot item while the popup is open.
    void ChangeTrackSelection(bool on) { m_trackSelection = on; }
    bool TrackSelection() const { return m_trackSelection; }

    /// Where confirmed colours are stored: section and key prefix are Windows-1252 (ASCII in
    /// practice). False when the file cannot be opened (nothing is stored then).
    bool ConfigureStorage(const std::filesystem::path& path, const std::string& section,
                          const std::string& keyPrefix);

    bool IsPopupOpen() const { return m_popupOpen; }
    /// The open popup, or nullptr.
    ColourDropDown* Popup() const { return m_popup; }
    /// Opens the popup as a click does.
    void OpenPopup();

    /// Where the drop-down arrow is drawn.
    QRect ArrowRect() const;
    /// The size the button takes: the arrow's height and at least twice its width.
    QSize RequiredSize() const;

    /// A dialog that lays the button out taller than its arrow needs keeps that height (0: the
    /// arrow's height, the default).
    void SetTemplateHeight(int pixels);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void colourHot(tavolin::ui::ColourValue colour, int controlId);
    void colourListOpened(tavolin::ui::ColourValue colour, int controlId);
    void colourListClosed(tavolin::ui::ColourValue colour, int controlId);
    void colourConfirmed(tavolin::ui::ColourValue colour, int controlId);
    void colourCancelled(tavolin::ui::ColourValue colour, int controlId);

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnColourHot(ColourValue colour);
    void OnColourConfirmed(ColourValue colour);
    void OnColourCancelled(ColourValue colour);
    void Store(ColourValue colour);
    int ArrowSize() const;
    int EdgeWidth() const;
    void UpdateDescription();
    void ApplySizeLimits();

    ColourValue m_colour;
    ColourValue m_textColour;
    bool m_trackSelection = false;
    bool m_popupOpen = false;
    QString m_defaultText;
    QString m_customText;
    IniFile m_ini;
    std::string m_section;
    std::string m_keyPrefix;
    QPointer<ColourDropDown> m_popup;
    int m_templateHeight = 0;
};

}  // namespace tavolin::ui
