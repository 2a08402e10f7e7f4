#pragma once

#include "platform/ini_file.h"

#include <QString>

#include <functional>

// Access to the profile files of the program folder (in practice always "settings.dat"). Every call
// is one complete read, or one complete atomic rewrite, of the file on disk: nothing is cached.
class Profile final
{
public:
    explicit Profile(QString programFolder);

    const QString &programFolder() const { return m_folder; }
    QString pathOf(const QString &file) const;

    // The stored value, or `defaultValue` when the file, section or key is missing; in both cases
    // cut to 254 characters and without trailing spaces, as the classic reader returns it.
    QString ReadProfile(const QString &file, const QString &section, const QString &key,
                        const QString &defaultValue) const;
    // Writes nothing, and returns false, when the file cannot be read or replaced; the reason goes
    // to the log.
    bool WriteProfile(const QString &file, const QString &section, const QString &key,
                      const QString &value);
    // Without this a string literal would take the bool overload.
    bool WriteProfile(const QString &file, const QString &section, const QString &key,
                      const char *value);
    bool WriteProfile(const QString &file, const QString &section, const QString &key, int value);
    bool WriteProfile(const QString &file, const QString &section, const QString &key, bool value);
    // A missing file or section is no failure: there is nothing to remove.
    bool DeleteProfileSection(const QString &file, const QString &section);

    // Many reads from one snapshot of the file; the same results as as many ReadProfile calls.
    IniDocument snapshot(const QString &file) const;
    // Many changes in one rewrite. False (and the file untouched) when it cannot be read or
    // replaced; the reason goes to the log.
    bool edit(const QString &file, const std::function<void(IniDocument &)> &change);

private:
    QString m_folder;
};

// A value as the profile reader hands it over: at most 254 characters, no trailing spaces.
QString profileText(const QString &stored);
// The Boolean of a stored text: "True"/"False" in any case, or a number (0 is false).
bool profileBool(const QString &text);
QString profileBoolText(bool value);

// settings.dat holds bytes, one character each. What a user types goes in as its UTF-8 bytes, and
// comes back out decoded as UTF-8 where the bytes are valid UTF-8, else one byte one character.
QString storedText(const QString &typed);
QString shownText(const QString &stored);

// A typed box as the editors store it: without the spaces before and after it. Only spaces go: a
// script's line breaks are part of it, and a tab is left to the checks that refuse it.
QString withoutSpaces(const QString &text);
