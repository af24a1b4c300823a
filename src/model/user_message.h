#pragma once

#include <string>

namespace kalibrix {

inline constexpr const char* kAppTitle = "KALIBRIX";

enum class MessageIcon { None, Exclamation };

// A modal message the front end shows (message box in the window, standard error in the CLI).
struct UserMessage {
    std::string text;
    MessageIcon icon = MessageIcon::None;
    std::string title;

    bool operator==(const UserMessage&) const = default;
};

}  // namespace kalibrix
