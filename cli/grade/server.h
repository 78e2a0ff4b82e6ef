// `tonalith grade`: the configuration window and a live preview in a browser, served from this
// process on 127.0.0.1 to whoever holds the access token printed at start.
#pragma once

#include <optional>
#include <string>

namespace tonalith::cli {

struct GradeServerOptions {
    std::string picture;
    std::optional<std::string> chain;
    std::string plugin;
    int port = 0;  // 0: a free port
    bool open = false;  // --open: the default browser on the page, through xdg-open
};

// Serves until SIGINT or SIGTERM; returns the exit status.
int RunGradeServer(const GradeServerOptions& options);

}  // namespace tonalith::cli
