// The exit statuses of `tonalith`: the one place they are defined. --help prints kExitStatusHelp
// and the README repeats it; every command follows it.
#pragma once

namespace tonalith::cli {

// Everything asked for was done.
constexpr int kExitSuccess = 0;
// Any failure, usage errors included: one message naming the file and the problem. Nothing is
// left under the output's name and an existing output is left as it was (output streamed to a
// pipe or a device keeps what was written before the failure).
constexpr int kExitFailure = 1;
// The input video ended inside a frame: every complete frame before it was corrected and written,
// the output is kept, and the cut frame is reported.
constexpr int kExitCutShort = 2;

inline constexpr const char* kExitStatusHelp =
    "Exit status: 0 success; 1 any failure, usage errors included (an existing output is left as it "
    "was); 2 the input video's last frame was cut short (every complete frame written, the output "
    "kept). Ended by SIGINT, SIGTERM, SIGHUP or SIGPIPE: that signal's usual status, no output left.";

}  // namespace tonalith::cli
