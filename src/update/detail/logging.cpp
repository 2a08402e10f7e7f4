#include "update/detail/logging.h"

// Silent by default, as we log no criticals: --verbose or QT_LOGGING_RULES="kestrune.*=true" turns it on.
Q_LOGGING_CATEGORY(lcUpdate, "kestrune.update", QtCriticalMsg)
