#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

// The pictures of the shared image list: a node of any list carries one, and views show it.
// Logic compares these values; pictureKey() is the one place that names them, for the icon
// provider and for anything stored or printed.
enum class Picture : std::uint8_t {
    None,
    Engine,
    Working,
    Path,
    File,
    Dead,
    QuestionMark,
    Untested,
    Flag,
    CheckMark,
};

// "Engine", "Working", ...; empty for None.
QString pictureKey(Picture picture);
// The picture of a key as pictureKey() gives it; None for any other text.
Picture pictureFromKey(QStringView key);
