// The process context: executable path, folder, INI path and arguments.
#include "launcher/process_context.h"

#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "platform/path_style.h"
#include "platform/process.h"

namespace noviq {

bool iniPathFor(const WideString& executable, WideString& path) {
    const int32_t nameStart = executable.ReverseFind(platform::kPathSeparator) + 1;
    const int32_t dot = executable.ReverseFind(u'.');
    if (platform::kExecutablesMayLackExtension && dot < nameStart) {
        path = executable + u".ini";
        return true;
    }
    if (dot < 0)
        return false;
    path = executable.Left(dot + 1) + u"ini";
    return true;
}

StringList commandLineArguments() {
    const std::optional<WideString> commandLine = platform::rawCommandLine();
    if (!commandLine) {
        // The system has already split the arguments; they go to Java unchanged.
        return platform::argumentVector();
    }
    StringList tokens;
    tokenizeCommandLine(trimmed(*commandLine), tokens);
    StringList arguments;
    for (int32_t i = 1; i < tokens.count(); ++i)
        arguments.add(tokens[i]);
    return arguments;
}

std::optional<ProcessContext> readProcessContext() {
    ProcessContext context;
    context.arguments = commandLineArguments();
    context.elevated = platform::isElevated();
    const platform::SystemResult<WideString> executable = platform::executablePath();
    if (!executable) {
        ReportSystemError(MessageId::WindowsException, MessageId::ModulePathFailed,
                          executable.error());
        return std::nullopt;
    }
    context.executablePath = *executable;
    context.executableFolder = context.executablePath.Left(
        context.executablePath.ReverseFind(platform::kPathSeparator) + 1);
    if (!iniPathFor(context.executablePath, context.iniPath))
        context.iniPath = WideString();
    return context;
}

} // namespace noviq
