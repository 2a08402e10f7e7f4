#pragma once

// The update service: asks the update server for a newer version, an engine list or a client
// list, and merges what the user ticks.
//
// 1. UpdateSession starts an exchange: one HTTP/1.0 GET (update_protocol: the request, and when a
//    response is complete by its Content-Length) over its own socket, directly or through the proxy.
// 2. The received bytes go to ParseUpdateResponse (update_response), a pure function; the session
//    shows its outcome and lists the candidates.
// 3. "Update" merges the ticked engines through the catalogue's SaveEngines and reloads the engine
//    list, or appends the ticked clients to [Clients] and writes their templates.
// The window (ui/) binds to the session, which lives for the whole run.

#include "update/update_protocol.h"
#include "update/update_response.h"
#include "update/update_session.h"
