#pragma once

#include <functional>
#include <string>

class QWidget;

enum class MessageIcon { Information, Error };

// The program's one message box: modal, caption "Hubsift", one OK button. Text is in the ANSI code page. Non-empty
// details (why something failed, for the curious) sit behind the box's "Show Details..." button.
void ShowMessage(const std::string& text, MessageIcon icon = MessageIcon::Information, QWidget* parent = nullptr,
                 const std::string& details = {});

// Tests replace the box with a recorder so that nothing blocks on a modal window; an empty hook restores the box.
using MessageBoxHook = std::function<void(const std::string& text, MessageIcon icon)>;
void SetMessageBoxHook(MessageBoxHook hook);
// The same for tests that check the details too.
using DetailedMessageBoxHook =
    std::function<void(const std::string& text, const std::string& details, MessageIcon icon)>;
void SetDetailedMessageBoxHook(DetailedMessageBoxHook hook);
