#include "app/core.h"

#include "catalogue/engine_catalogue.h"
#include "search/status.h"

Core::Core(const QString &programFolder, Services services, TimeLimits limits, QObject *parent)
    : QObject(parent)
    , profile(programFolder)
    , status(statusPanelKeys())
    , results(state, ftpList, status)
    , search({state, preferences, enginesList, linksList, status, profile, results}, limits)
    , tester(state, ftpList, preferences, status, limits)
    , preferenceStore(services.preferenceStore)
    , shell(services.shell)
    , launcher(services.launcher)
{
    UpdateStatus(state, status);
    // The crawl and the tester meet only here: a search halts the tests and restarts them after.
    connect(&search, &SearchController::testsMustStop, &tester, &ServerTester::haltForSearch);
    connect(&search, &SearchController::searchEnded, &tester, &ServerTester::resumeAfterSearch);
}

Core::~Core() = default;

void Core::startUp()
{
    const int n = LoadEngines(enginesList, profile);
    state.pageData = QVector<QByteArray>(n + 1);
    preferences = LoadPreferences(preferenceStore, profile.programFolder());
}

void Core::shutDown()
{
    SaveActiveFlags(enginesList, profile);
    SaveShutdownPreferences(preferences, preferenceStore);
}
