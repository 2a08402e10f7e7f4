#pragma once

#include <QString>

// The desktop's "open" verb: hands a web address or a document to the user's associated program.
// Nothing is reported back, also when no program takes it.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void open(const QString &target) = 0;
};
