#pragma once

#include <QByteArrayView>
#include <QString>

// Replaces the file at `path` with `bytes` atomically: either the whole new text is there or the
// old file is untouched (a crash, a full disk). On failure `reason`, when given, gets the file
// system's words.
bool writeWholeFile(const QString &path, QByteArrayView bytes, QString *reason = nullptr);
