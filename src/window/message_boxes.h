#pragma once

#include "model/user_message.h"

#include <vector>

class QWidget;

namespace kalibrix {

// Every message box of the window goes through here, so that tests can answer them.
class MessageBoxes {
public:
    // Shows `message` modally over `parent`: its text, its icon (Exclamation as a warning,
    // None without an icon), its title and an OK button. While recording, only records it.
    static void show(QWidget* parent, const UserMessage& message);

    // What the user answers to askToSave.
    enum class Answer { Save, Discard, Cancel };
    // Asks `message` modally over `parent` with the buttons Save, Discard and Cancel (Escape
    // cancels). While recording, records it and returns the answer set for it (Cancel when
    // none was).
    static Answer askToSave(QWidget* parent, const UserMessage& message);

    // Tests: from now on show() records instead of opening a box.
    static void startRecording();
    // Tests: the answer the next askToSave gives.
    static void setNextAnswer(Answer answer);
    // The messages recorded since the last call, in order.
    static std::vector<UserMessage> takeRecorded();
};

}  // namespace kalibrix
