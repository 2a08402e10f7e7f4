#pragma once

#include "prefs/preferences.h"

#include <QString>

// The Options dialog's fields, as texts where the dialog has a text field.
struct OptionsFields
{
    QString maxSearch;
    QString maxTest;
    bool useProxy = false;
    QString address;
    QString port;
    QString local;      // "Local Directory:"
    QString clientPath; // "Client Location:"
    int client = 0;     // the selected client, counted from 1; 0 none
};

// What the dialog shows when it opens. A client number of 0 (none chosen yet) becomes 1.
OptionsFields optionsFields(const Preferences &preferences);

// The dialog's closing: every field goes to `preferences` and is stored ("max_test", "max_search",
// "UseProxy", "ProxyAddress", "ProxyPort", "FTP_LOCAL", "FTP_PATH", "FTP_CLIENT", in this order).
// A limit that is not a whole number from 1 to 10000, or a port not from 1 to 65535, keeps the
// value it had.
// False when any value could not be stored; the preferences take the values all the same.
bool storeOptions(const OptionsFields &fields, Preferences &preferences, PreferenceStore &store);
