#pragma once

#include <QComboBox>

#include <functional>

class QFocusEvent;
class QKeyEvent;

namespace kalibrix {

// A drop-down list whose handler runs once for every choice of an item: the program's
// setCurrentIndex and the user's choice from the list or with the arrow keys, also of the
// item already chosen (which puts its text back in place of a typed one). In an editable
// box typing runs nothing, nor do Enter and leaving the box, although Qt then selects the
// item that matches the typed text: the typed text waits for the next run.
class ChoiceBox : public QComboBox {
public:
    using QComboBox::QComboBox;

    void onItemChosen(std::function<void()> handler);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_finishingTypedText = false;
};

}  // namespace kalibrix
