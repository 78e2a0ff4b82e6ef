// Other programs run by `tonalith grade` (ffmpeg, ffprobe, xdg-open): always with an argument
// vector, found on PATH, never through a shell.
#pragma once

#include <spawn.h>

#include <string>
#include <vector>

namespace tonalith::cli {

// Starts argv[0] with no signal blocked; returns 0 and the child's id, or the errno of the failure
// (ENOENT: no such program on PATH).
int SpawnProgram(const std::vector<std::string>& argv, const posix_spawn_file_actions_t* actions, pid_t& child);

// Runs a program and returns what it wrote on standard output; throws with its error output when
// it fails.
std::string RunForOutput(const std::vector<std::string>& argv);

}  // namespace tonalith::cli
