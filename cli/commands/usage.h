// The tool's own documentation, all drawn from the command definitions: help, the man page and
// the bash completion, so none of them is written twice.
#pragma once

#include <optional>
#include <string>

namespace CLI {
class App;
}

namespace tonalith::cli {

// "tonalith 1.0", the plug-in it would load and how it was built.
std::string VersionText(const std::string& pluginPath);
// A message for a first argument that is no command (nullopt when it is one, or an option).
std::optional<std::string> UnknownCommand(const CLI::App& app, const std::string& first);
// The help of the whole tool, or of one command ("chain show" names a nested one).
std::string HelpText(const CLI::App& app, const std::string& command);
std::string ManPage(const CLI::App& app);
std::string BashCompletion(const CLI::App& app);

}  // namespace tonalith::cli
