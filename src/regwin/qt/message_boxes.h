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

    // Tests: from now on show() records instead of opening a box.
    static void startRecording();
    // The messages recorded since the last call, in order.
    static std::vector<UserMessage> takeRecorded();
};

}  // namespace kalibrix
