// Zentarix — MIT licence.
// The two ways a web server runs pages through zxscript: FastCGI (one long-lived process, a thread
// per connection) and CGI (a process per request).
#pragma once

namespace zx::script::web {

// Accepts FastCGI connections on the listening socket `listenFd` (the server hands it over as
// descriptor 0) and answers the requests on them, each connection on a thread of its own, at most
// `maxThreads` at a time. Returns when the socket fails (the server closed it).
int serve_fastcgi(int listenFd, int maxThreads);

// Whether `fd` is a listening socket (how a FastCGI responder knows it was started as one).
bool is_listening_socket(int fd);

// Answers the one request described by the environment and standard input on standard output.
int serve_cgi();

}  // namespace zx::script::web
