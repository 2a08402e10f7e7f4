#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)

// --verbose: every kestrune.* category on, each line naming its category, on standard error.
// QT_LOGGING_RULES and QT_MESSAGE_PATTERN still win, as Qt gives them the last word.
void enableVerboseLogging();
