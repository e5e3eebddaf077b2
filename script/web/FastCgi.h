// Zentarix — MIT licence.
// The ways pages run through zxscript: under a web server by FastCGI (one long-lived process, a
// thread per connection) or CGI (a process per request), and from the console.
#pragma once
#include "Output.h"

namespace zx::script::web {

// Accepts FastCGI connections on the listening socket `listenFd` (the server hands it over as
// descriptor 0) and answers the requests on them, each connection on a thread of its own, at most
// `maxThreads` at a time. Returns when the socket fails (the server closed it).
int serve_fastcgi(int listenFd, int maxThreads);

// Whether `fd` is a listening socket (how a FastCGI responder knows it was started as one).
bool is_listening_socket(int fd);

// Answers the one request described by the environment and standard input on standard output.
int serve_cgi();

// Runs an ASP page from the console: a GET of `page` with `query` as its query string, the site
// being the page's folder; the body goes to `channel` (its head too, when the channel wants it).
// 0 when the page answered 200, 1 otherwise.
int run_page(const char* page, const char* query, host::ResponseChannel& channel);

}  // namespace zx::script::web
