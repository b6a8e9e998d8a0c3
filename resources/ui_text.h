#pragma once

#include <QCoreApplication>
#include <QString>

#include "platform/user_text.h"

namespace qvx {

/// `german`, a text marked for translation, in the user's language.
[[nodiscard]] inline QString uiText(const char* german) {
    return QCoreApplication::translate(platform::kTextContext, german);
}

}  // namespace qvx
