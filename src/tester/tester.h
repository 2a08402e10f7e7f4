#pragma once

// The tester: whether each FTP server of the results still accepts a connection.
//
// ServerTester walks the result tree (the search's ftpList) in node order, takes each Untested
// server node, splits its key into host and port (search/server_url), and opens a TCP connection
// through its own SocketArray, at most `maxTest` at once. An accepted connection marks the node
// Alive, a failure or TimeLimits::serverTest of silence marks it Dead (search/marks.h), and each
// mark is told by serverTested(). A search halts the tests when it starts and they resume when it
// ends; the application wires the two.
//
// ServerVerifier goes further when the user asks: it logs in to each FTP server node as its link
// says, over one control connection (detail/ftp_reply reads the server's replies), asks for the
// size and date of every file of its record, and keeps what it learns in SearchState::facts. Its
// marks are Alive (logged in), Dead and Refused (the login was refused).

#include "tester/server_tester.h"
#include "tester/server_verifier.h"
