#pragma once

#include <functional>
#include <string>

class QWidget;

// Every message of the player goes through here: a modal box with an OK
// button and the caption "Varden Video Player" (the About box has its own
// title). Tests install a catcher so that a message is read instead of
// waiting for a click.
//
// Threads: the window thread only.

// Shows `text` modally, or hands it to the installed catcher.
void ShowPlayerMessage(QWidget* parent, const std::string& text);
// The same with a title of its own (the About box).
void ShowPlayerMessage(QWidget* parent, const std::string& title, const std::string& text);
// A failure: the player's own `text`, with `cause` (what really went wrong:
// the file and the system's reason, the element and its message) as the
// box's detail text when it is not empty. A catcher receives the text alone.
void ShowPlayerFailure(QWidget* parent, const std::string& text, const std::string& cause);

// Receives (title, text) of each message instead of a box; an empty function
// restores the boxes. Returns the previous catcher.
using MessageCatcher = std::function<void(const std::string& title, const std::string& text)>;
MessageCatcher SetMessageCatcher(MessageCatcher catcher);
