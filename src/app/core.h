#pragma once

#include "catalogue/profile.h"
#include "platform/node_tree.h"
#include "platform/status_line.h"
#include "platform/time_limits.h"
#include "prefs/preferences.h"
#include "search/results.h"
#include "search/search_controller.h"
#include "search/search_state.h"
#include "tester/server_tester.h"

#include <QObject>

class Launcher;
class Shell;

// Everything the program runs on, without a window: the catalogue, the preferences, the search
// state and its lists, the crawl and the tester, wired together. The window and the command line
// drive the same object.
class Core final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Core)

public:
    struct Services
    {
        PreferenceStore &preferenceStore;
        Shell &shell;
        Launcher &launcher;
    };

    Core(const QString &programFolder, Services services, TimeLimits limits = {}, QObject *parent = nullptr);
    ~Core() override;

    // The load handler: the engine list, the preferences and the empty result state.
    void startUp();
    // The unload handler: the engines' check boxes and the two view and test preferences.
    void shutDown();

    Profile profile;
    Preferences preferences;
    SearchState state;
    NodeTree enginesList{NodeTree::DisplayMode::CheckBoxes};
    NodeTree ftpList{NodeTree::DisplayMode::Pictures};
    NodeTree linksList{NodeTree::DisplayMode::Pictures};
    StatusLine status;
    Results results;
    SearchController search;
    ServerTester tester;

    PreferenceStore &preferenceStore;
    Shell &shell;
    Launcher &launcher;
};
