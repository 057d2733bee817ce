#pragma once
// The push button of our dialogs: named for tests and scripts, and never the default button,
// so that Enter in a field commits the field instead of pressing a button.
class QPushButton;

namespace qvtk {

QPushButton* DialogButton(const char* text, const char* name);
inline QPushButton* DialogButton(const char* text) {
    return DialogButton(text, text);
}

} // namespace qvtk
