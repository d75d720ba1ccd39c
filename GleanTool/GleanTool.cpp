#include "GleanTool/GleanTool.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "FileHandler/ParseTools.h"
#include "GleanTool/CsvCommand.h"
#include "GleanTool/ExplainCommand.h"
#include "GleanTool/ExportCommand.h"
#include "GleanTool/FidelityCommand.h"
#include "GleanTool/FitCommand.h"
#include "GleanTool/ReportCommand.h"
#include "GleanTool/SimplifyCommand.h"
#include "GleanTool/SvgCommand.h"
#include "GleanTool/ToolFiles.h"
#include "GleanTool/TrainCommand.h"
#include "KQmessage/TException.h"

namespace glean {

namespace {

constexpr const TToolCommand* kCommands[] = {&FitCommand,     &ExportCommand,   &FidelityCommand,
                                             &SvgCommand,     &CsvCommand,      &TrainCommand,
                                             &ExplainCommand, &SimplifyCommand, &ReportCommand};

const TToolCommand* FindCommand(const std::string& name) {
    for (const TToolCommand* command : kCommands) {
        if (name == command->Name) return command;
    }
    return nullptr;
}

int Fail(std::ostream& err, const std::string& message, int code) {
    err << "GleanTool: " << message << '\n';
    if (code == kToolUsage) err << ToolUsage();
    return code;
}

bool Named(std::span<const char* const> names, const std::string& name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* option) { return name == option; });
}

std::string CommandHelp(const TToolCommand& command) {
    std::string usage = command.Usage;
    return "Usage: GleanTool " + usage.substr(usage.find_first_not_of(' ')) + "Options:\n" +
           command.Options;
}

// Runs the command and turns every failure into its message and exit code.
int RunCommand(const TToolCommand& command, std::span<const std::string> arguments,
               std::ostream& out, std::ostream& err) {
    try {
        return command.Run(arguments, out);
    } catch (const UsageError& e) {
        return Fail(err, e.what(), kToolUsage);
    } catch (const ToolFailure& e) {
        return Fail(err, e.what(), kToolFailure);
    } catch (const ExportError& e) {
        return Fail(err, e.what(), kToolFailure);
    } catch (const FileTools::Error& e) {
        return Fail(err, e.Message(), kToolFailure);
    } catch (const TException& e) {
        return Fail(err, ExceptionText(e), kToolFailure);
    } catch (const std::bad_alloc&) {
        return Fail(err, "out of memory", kToolFailure);
    } catch (const std::length_error&) {
        // What a container says when asked for more than it can ever hold.
        return Fail(err, "out of memory", kToolFailure);
    }
}

// The program but for the checks of its standard streams.
int RunProgram(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    if (argc < 2) return Fail(err, "no command given", kToolUsage);
    const std::string name = argv[1];
    if (name == "--help" || name == "help") {
        out << ToolUsage();
        return kToolSuccess;
    }
    if (name == "--version") {
        out << ToolVersion() << '\n';
        return kToolSuccess;
    }
    const TToolCommand* command = FindCommand(name);
    if (!command) return Fail(err, "unknown command \"" + name + "\"", kToolUsage);
    const std::vector<std::string> arguments(argv + 2, argv + argc);
    if (std::find(arguments.begin(), arguments.end(), "--help") != arguments.end()) {
        out << CommandHelp(*command);
        return kToolSuccess;
    }
    return RunCommand(*command, arguments, out, err);
}

}  // namespace

std::string ToolVersion() {
    return std::string("GleanTool ") + GLEAN_VERSION;
}

std::string ToolUsage() {
    std::string text = "Usage: GleanTool COMMAND ARGUMENTS...\n";
    for (const TToolCommand* command : kCommands)
        text += command->Usage;
    return text;
}

int RunGleanTool(int argc, const char* const argv[], std::ostream& out, std::ostream& err) {
    const int code = RunProgram(argc, argv, out, err);
    // A report that did not reach its reader is no success: a full disk under a redirection.
    if (code == kToolSuccess && !out.flush()) {
        return Fail(err, "cannot write standard output", kToolFailure);
    }
    return err.flush() ? code : kToolFailure;
}

TToolArguments ParseToolArguments(std::span<const std::string> arguments,
                                  std::span<const char* const> allowed, std::size_t positional,
                                  std::span<const char* const> flags) {
    TToolArguments result;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word.rfind("--", 0) != 0) {
            result.Positional.push_back(word);
            continue;
        }
        const std::string name = word.substr(2);
        if (Named(flags, name)) {
            if (!result.Options.emplace(name, "").second) {
                throw UsageError("option \"" + word + "\" given twice");
            }
            continue;
        }
        if (!Named(allowed, name)) throw UsageError("unknown option \"" + word + "\"");
        if (i + 1 == arguments.size()) throw UsageError("option \"" + word + "\" needs a value");
        if (!result.Options.emplace(name, arguments[++i]).second) {
            throw UsageError("option \"" + word + "\" given twice");
        }
    }
    if (result.Positional.size() != positional) {
        throw UsageError("expected " + std::to_string(positional) + " file names, got " +
                         std::to_string(result.Positional.size()));
    }
    return result;
}

TConjunction ConjunctionOption(const TToolArguments& arguments) {
    if (!arguments.Has("conjunction")) return kDefaultConjunction;
    try {
        return ConjunctionNamed(arguments.Options.at("conjunction"));
    } catch (const ExportError& e) {
        throw UsageError(e.what());
    }
}

TOutputMode OutputModeOption(const TToolArguments& arguments) {
    if (!arguments.Has("outputs")) return TOutputMode::Singletons;
    try {
        return OutputModeNamed(arguments.Options.at("outputs"));
    } catch (const ExportError& e) {
        throw UsageError(e.what());
    }
}

}  // namespace glean
