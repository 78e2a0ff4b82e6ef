#include "cli/commands/usage.h"

#include <CLI/CLI.hpp>
#include <sstream>

#include "cli/failure.h"

#ifndef TONALITH_VERSION
#define TONALITH_VERSION "unknown"
#endif
#ifndef TONALITH_BUILD_TYPE
#define TONALITH_BUILD_TYPE "unknown"
#endif

namespace tonalith::cli {
namespace {

std::vector<const CLI::App*> Commands(const CLI::App& app) {
    return app.get_subcommands([](const CLI::App* sub) { return !sub->get_group().empty(); });
}

// Finds a command by its words ("chain show"), hidden ones included; `prefix` gets the words
// before the last, for the usage line.
const CLI::App* FindCommand(const CLI::App& app, const std::string& path, std::string* prefix = nullptr) {
    std::istringstream words(path);
    const CLI::App* at = &app;
    if (prefix) *prefix = "tonalith";
    for (std::string word; words >> word;) {
        if (prefix && at != &app) *prefix += " " + at->get_name();
        const CLI::App* next = nullptr;
        for (const CLI::App* sub : at->get_subcommands([](const CLI::App*) { return true; }))
            if (sub->get_name() == word) next = sub;
        if (!next) return nullptr;
        at = next;
    }
    return at;
}

std::string OptionNames(const CLI::Option* option) {
    std::string names;
    for (const auto& s : option->get_snames()) names += (names.empty() ? "-" : ", -") + s;
    for (const auto& l : option->get_lnames()) names += (names.empty() ? "--" : ", --") + l;
    return names;
}

// troff escapes: a leading dot or quote, and backslashes and hyphens in text.
std::string Roff(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-') out += "\\-";
        else out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
    return out;
}

void ManCommand(std::ostringstream& out, const CLI::App& command, const std::string& prefix) {
    const std::string name = prefix.empty() ? command.get_name() : prefix + " " + command.get_name();
    out << ".SS \"" << Roff(name) << "\"\n" << Roff(command.get_description()) << "\n";
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_name() == "--help" || option->get_name() == "-h,--help") continue;
        const std::string names = option->get_positional() ? option->get_name() : OptionNames(option);
        if (names.empty() || names == "-h, --help") continue;
        out << ".TP\n.B " << Roff(names) << "\n" << Roff(option->get_description()) << "\n";
    }
    const std::string footer = command.get_footer();
    if (!footer.empty() && footer != "\n") {
        out << ".PP\n.nf\n";
        std::istringstream lines(footer);
        for (std::string line; std::getline(lines, line);) out << Roff(line) << "\n";
        out << ".fi\n";
    }
    for (const CLI::App* sub : Commands(command)) ManCommand(out, *sub, name);
}

}  // namespace

std::string VersionText(const std::string& pluginPath) {
    std::error_code error;
    const bool found = std::filesystem::is_regular_file(pluginPath, error);
    std::ostringstream out;
    out << "tonalith " << TONALITH_VERSION << "\n"
        << "plug-in: " << pluginPath << (found ? "" : " (not found)") << "\n"
        << "build: " << TONALITH_BUILD_TYPE << ", "
#if defined(__clang__)
        << "clang "
#elif defined(__GNUC__)
        << "g++ "
#endif
        << __VERSION__ << ", C++ " << __cplusplus << "\n";
    return out.str();
}

std::optional<std::string> UnknownCommand(const CLI::App& app, const std::string& first) {
    if (first.empty() || first[0] == '-' || FindCommand(app, first)) return std::nullopt;
    std::string names;
    for (const CLI::App* sub : Commands(app)) names += (names.empty() ? "" : ", ") + sub->get_name();
    return "unknown command \"" + first + "\" (commands: " + names + "; see tonalith help)";
}

std::string HelpText(const CLI::App& app, const std::string& command) {
    std::string prefix;
    const CLI::App* found = FindCommand(app, command, &prefix);
    if (!found) throw Failure("no command \"" + command + "\" to explain (see tonalith help)");
    return found == &app ? app.help() : found->help(prefix);
}

std::string ManPage(const CLI::App& app) {
    std::ostringstream out;
    out << ".TH TONALITH 1 \"\" \"tonalith " << TONALITH_VERSION << "\" \"User Commands\"\n"
        << ".SH NAME\ntonalith \\- " << Roff(app.get_description()) << "\n"
        << ".SH SYNOPSIS\n.B tonalith\n.I COMMAND\n[\\fIOPTIONS\\fR] [\\fIARGUMENTS\\fR]\n"
        << ".SH COMMANDS\n";
    for (const CLI::App* sub : Commands(app)) ManCommand(out, *sub, "");
    const std::string footer = app.get_footer();
    if (!footer.empty()) {
        out << ".SH NOTES\n.nf\n";
        std::istringstream lines(footer);
        for (std::string line; std::getline(lines, line);) out << Roff(line) << "\n";
        out << ".fi\n";
    }
    out << ".SH EXIT STATUS\n0 when everything asked for was written, non\\-zero otherwise.\n"
        << ".SH SEE ALSO\n.BR ffmpeg (1)\n";
    return out.str();
}

std::string BashCompletion(const CLI::App& app) {
    std::ostringstream out;
    out << "# bash completion for tonalith (generated by tonalith itself)\n"
        << "_tonalith() {\n"
        << "    local cur=${COMP_WORDS[COMP_CWORD]} path=\"\" i word\n"
        << "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
        << "        word=${COMP_WORDS[i]}\n"
        << "        [[ $word == -* ]] && continue\n"
        << "        case \"$path|$word\" in\n";
    std::vector<std::pair<std::string, const CLI::App*>> all;
    std::vector<std::pair<std::string, const CLI::App*>> todo{{"", &app}};
    while (!todo.empty()) {
        auto [path, at] = todo.back();
        todo.pop_back();
        all.push_back({path, at});
        for (const CLI::App* sub : Commands(*at)) {
            const std::string child = path.empty() ? sub->get_name() : path + " " + sub->get_name();
            out << "            \"" << path << "|" << sub->get_name() << "\") path=\"" << child << "\" ;;\n";
            todo.push_back({child, sub});
        }
    }
    out << "        esac\n    done\n    local commands=\"\" options=\"\" files=0\n    case \"$path\" in\n";
    for (const auto& [path, at] : all) {
        std::string commands, options;
        bool files = false;
        for (const CLI::App* sub : Commands(*at)) commands += (commands.empty() ? "" : " ") + sub->get_name();
        for (const CLI::Option* option : at->get_options()) {
            files = files || option->get_positional();
            if (option->get_positional()) continue;
            for (const auto& l : option->get_lnames()) options += (options.empty() ? "--" : " --") + l;
            for (const auto& n : option->get_snames()) options += (options.empty() ? "-" : " -") + n;
        }
        out << "        \"" << path << "\") commands=\"" << commands << "\" options=\"" << options
            << "\" files=" << (files ? 1 : 0) << " ;;\n";
    }
    out << "    esac\n"
        << "    if [[ $cur == -* ]]; then\n"
        << "        COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
        << "    else\n"
        << "        COMPREPLY=($(compgen -W \"$commands\" -- \"$cur\"))\n"
        << "        ((files)) && COMPREPLY+=($(compgen -f -- \"$cur\"))\n"
        << "    fi\n"
        << "}\n"
        << "complete -o filenames -F _tonalith tonalith\n";
    return out.str();
}

}  // namespace tonalith::cli
