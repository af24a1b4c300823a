#pragma once

#include <QLabel>

namespace kalibrix {

// A figure's cell in the results grid: shows its whole text, in a smaller font where the
// window's would not fit the cell's width, never cut. Its tooltip says what the cell is (as
// set with setToolTip) and, after a colon, the figure in full.
class FittingLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    // Shows `shown`, in bold or not; `full` goes into the tooltip (none when empty).
    void setFigure(const QString& shown, const QString& full, bool bold = false);

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();
    void composeToolTip();

    QString m_about;  // what the cell is
    QString m_full;
    bool m_bold = false;
    bool m_composing = false;
};

}  // namespace kalibrix
