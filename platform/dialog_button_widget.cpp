#include "platform/dialog_button_widget.h"

#include <QPushButton>

namespace qvtk {

QPushButton* DialogButton(const char* text, const char* name) {
    auto* b = new QPushButton(text);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

} // namespace qvtk
