#pragma once

#include <QIcon>
#include <QString>

// The shared picture list: one icon per picture key ("Engine", "Working", "Path", "File", "Dead",
// "QuestionMark", "Untested", "Flag", "CheckMark"). Unknown keys give a null icon.
QIcon pictureIcon(const QString &key);
