#pragma once

// The hand-off to an external FTP client, and what the window shows of a result server.
//
// 1. ShowServerDetails fills the links list with a server's files in the chosen ListLayout and
//    gives its login details, split from the server's link (detail/ftp_url).
// 2. LaunchClient splits a file's link into its pieces (detail/ftp_url), refuses pieces that could
//    break out of a script or command line, expands the chosen client's "Args" and script
//    templates with them (detail/client_template), writes the script to a file of its own, and
//    starts the client program without a shell. A HandOffResult says how it went.
// 3. ClientRegistry keeps the client list of settings.dat and the clients' templates, as the
//    Options dialog and the client editor (ui/) change them.

#include "ftpclient/client_launch.h"
#include "ftpclient/client_registry.h"
#include "ftpclient/server_details.h"
