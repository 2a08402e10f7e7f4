#pragma once

// The narrow services every subsystem builds on; none of them knows a subsystem.
//
// - NodeTree: the keyed tree model behind every list, each node with a Picture (picture.h).
// - SocketArray: TCP client sockets by index, their events always from the event loop, a failure
//   with its SocketFailure reason.
// - IniDocument (ini_file): the profile-file format, read and rewritten atomically.
// - StatusLine: the status line's keyed panel texts.
// - Shell and Launcher: opening a page in the desktop's browser, starting a program without a
//   shell (the seams tests replace); gui/ holds the desktop's own Shell.
// - writeWholeFile (whole_file): a file replaced atomically.
// - byte_text: one byte, one character, both ways. TimeLimits: every time and size limit.
// - endpoint: a port number and HOST:PORT as users and URLs write them. http: the HTTP/1.0
//   request text and a header's value, for the page fetch and the update exchange;
//   http_decoding: a response's chunked or compressed body as the server meant it.

#include "platform/byte_text.h"
#include "platform/endpoint.h"
#include "platform/http.h"
#include "platform/http_decoding.h"
#include "platform/ini_file.h"
#include "platform/launcher.h"
#include "platform/node_tree.h"
#include "platform/picture.h"
#include "platform/shell.h"
#include "platform/socket_array.h"
#include "platform/status_line.h"
#include "platform/time_limits.h"
#include "platform/whole_file.h"
