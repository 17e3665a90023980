#pragma once
// "颜色": the two row colours of the property pages and whether they are used. Stored in
// CONFIG/config.ini [SHOW_COL] as 0xRRGGBB; the frame re-colours every page afterwards.
#include <QColor>
#include <QDialog>

#include <cstdint>

class QPushButton;
class QRadioButton;

namespace vexadesk {

class CDlgSetColor : public QDialog {
    Q_OBJECT
public:
    explicit CDlgSetColor(QWidget* parent = nullptr);

    QColor colour(int slot) const { return slot == 1 ? c1_ : c2_; }
    void setColour(int slot, const QColor& c);
    bool enabled() const;
    void setEnabledChoice(bool on);

    // Platform colour order (0x00BBGGRR), as the catalog keeps row colours.
    static std::uint32_t toPlatform(std::uint32_t rrggbb) {
        return ((rrggbb & 0xFF) << 16) | (rrggbb & 0xFF00) | ((rrggbb >> 16) & 0xFF);
    }
    static QColor fromRgb(std::uint32_t rrggbb) {
        return QColor((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF);
    }

public slots:
    void accept() override;

private:
    void pick(int slot);
    void paintButton(QPushButton* b, const QColor& c);

    QPushButton* b1_;
    QPushButton* b2_;
    QRadioButton* on_;
    QRadioButton* off_;
    QColor c1_, c2_;
};

}  // namespace vexadesk
