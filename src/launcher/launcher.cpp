// The start of the launcher from the process context to the JVM's end: settings, single
// instance, working folder, runtime choice (or the prompt), then the paired program, the
// hand-over to a first instance, or the JVM.
#include "launcher/launcher.h"

#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "common/trace.h"
#include "gui/prompts.h"
#include "jre/jvm_library.h"
#include "jvm/splash_screen.h"
#include "platform/environment.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/protected_folders.h"

namespace noviq {

namespace {

WideString yesNo(bool flag) {
    return flag ? WideString(u"yes") : WideString(u"no");
}

void traceSettings(const Settings& s) {
    if (!tracing())
        return;
    const RuntimeRequest& r = s.runtime;
    const char16_t* const types[] = {u"default", u"server", u"favor_server"};
    trace(u"settings: main class %s, %s (versions %s), JVM type %s, JDK %s, JRE %s, both kinds %s",
          s.mainClass, r.range.describeRequirement(), r.range.describeBounds(),
          WideString(types[static_cast<int32_t>(r.jvmType)]), yesNo(r.preferJdk),
          yesNo(r.preferJre), yesNo(r.searchBothKinds));
    trace(u"settings: vendors allowed/preferred: Sun %s/%s, JRockit %s/%s, IBM %s/%s; modern "
          u"runtimes %s",
          yesNo(r.sunAllowed), yesNo(r.sunPreferred), yesNo(r.jrockitAllowed),
          yesNo(r.jrockitPreferred), yesNo(r.ibmAllowed), yesNo(r.ibmPreferred),
          yesNo(r.modernRuntimes));
    trace(u"settings: JRE Path \"%s\", paired program \"%s\", service %s, single instance %s",
          r.jrePath, s.pairProduct, yesNo(s.isService), yesNo(s.singleInstance));
}

} // namespace

bool Launcher::initialize() {
    restart_.captureStart();
    context_ = readProcessContext();
    if (!context_)
        return false;
    trace(u"start: %s with %d arguments, INI file %s", context_->executablePath,
          context_->arguments.count(), context_->iniPath);
    serviceMode_ = configuredAsService(*context_);
    if (serviceMode_)
        service_.captureErrors();
    settings_ = readSettings(*context_);
    if (!settings_) {
        trace(u"settings: not usable (see the error line)");
        return false;
    }
    traceSettings(*settings_);
    trace(u"time: settings %u ms", traceMilliseconds());
    // Never between services: a service manager starts each service once.
    instances_.setup(context_->executablePath, settings_->singleInstance && !settings_->isService,
                     *this);
    if (instances_.role() != SingleInstance::Role::Only)
        trace(u"single instance: %s start",
              WideString(instances_.role() == SingleInstance::Role::Later ? u"a later"
                                                                          : u"the first"));
    if (instances_.role() == SingleInstance::Role::Later)
        return true; // a later start hands over; it needs no runtime
    if (settings_->overrideWorkingDir)
        platform::setCurrentDirectory(withoutLastComponent(context_->executablePath));
    return chooseRuntime();
}

bool Launcher::chooseRuntime() {
    const RuntimeRequest& request = settings_->runtime;
    const uint32_t searchStart = traceMilliseconds();
    runtime_ = findRuntime(request, context_->executableFolder);
    trace(u"time: runtime search %u ms", traceMilliseconds() - searchStart);
    if (runtime_) {
        trace(u"chosen: %s (home %s)%s", runtime_->jvmLibraryPath, runtime_->homeFolder,
              WideString(runtime_->is32Bit ? u", 32-bit: the paired program runs instead" : u""));
        return true;
    }
    trace(u"chosen: nothing");

    if (serviceMode_) {
        // Nobody could answer a prompt: the service would hang in it.
        trace(u"prompt: none, a service asks nobody");
        ReportError(withDownloadAddress(notFoundMessage(request)));
        return false;
    }
    auto libraryIn = [type = request.jvmType](const WideString& folder) {
        return resolveJvmLibrary(withTrailingSeparator(folder), type).path;
    };
    const RuntimePromptResult choice =
        promptForRuntime(notFoundMessage(request),
                         [&](const WideString& folder) { return !libraryIn(folder).isEmpty(); });
    if (choice.outcome == PromptOutcome::NotShown) {
        trace(
            u"prompt: none, no terminal or desktop to ask on; the error line says what is missing");
        platform::setLastError(platform::kErrorOutOfMemory);
        return false;
    }
    if (choice.outcome != PromptOutcome::Accepted) {
        trace(u"prompt: the user chose no folder");
        return false;
    }
    const WideString library = libraryIn(choice.folder);
    if (library.isEmpty()) {
        trace(u"prompt: %s holds no JVM library", choice.folder);
        return false;
    }
    runtime_ = runtimeChoiceByHeader(library, request.pairedProgramAvailable);
    saveJrePath(*settings_, *context_, choice.folder);
    trace(u"chosen by the user: %s", library);
    return true;
}

int32_t Launcher::run() {
    if (!settings_->splashScreen.isEmpty() &&
        (instances_.role() == SingleInstance::Role::Later || (runtime_ && runtime_->is32Bit)))
        trace(u"splash: none, another process runs the application");
    // A service never comes here: the service manager's recovery options restart it. The
    // new start must find no first instance; a class data dump is complete by then.
    if (settings_->restartCode && !(runtime_ && runtime_->is32Bit) &&
        instances_.role() != SingleInstance::Role::Later)
        restart_.arm(*settings_->restartCode, [this] { instances_.shutdown(); });
    return launch(StringList(), NarrowStringList(), nullptr);
}

int32_t Launcher::launch(const StringList& startParameters, const NarrowStringList& extraJvmOptions,
                         ServiceProgress* progress) {
    if (runtime_ && runtime_->is32Bit)
        return runPairedProgram(progress);
    if (instances_.role() == SingleInstance::Role::Later)
        return instances_.handOver(context_->arguments);
    return runJava(startParameters, extraJvmOptions, progress);
}

int32_t Launcher::runPairedProgram(ServiceProgress* progress) {
    // The paired executable runs instead of the JVM; it gets no arguments. This process
    // serves no later start any more: the paired program coordinates its own.
    instances_.shutdown();
    if (progress && !progress->mayCreateJvm())
        return 0;
    const platform::SystemResult<uint32_t> code = [&] {
        // Naming this launcher itself, it would start itself without end.
        if (platform::isSameFile(settings_->pairProduct, context_->executablePath))
            return platform::SystemResult<uint32_t>::failure(platform::kErrorInvalidParameter);
        if (progress)
            progress->mainEntered();
        // A service runs as long as its program does.
        return platform::startPairedProgram(settings_->pairProduct,
                                            settings_->pairReturnCode || progress);
    }();
    if (!code) {
        ReportError(LoadMessage(MessageId::PairedProgramFailed), settings_->pairProduct,
                    static_cast<int32_t>(code.error()));
        return -1;
    }
    return settings_->pairReturnCode ? static_cast<int32_t>(*code) : 0;
}

int32_t Launcher::runAsService(bool started) {
    return service_.run(*this, started, settings_ && settings_->omitServiceName,
                        settings_ ? settings_->stopTimeout : 0);
}

int32_t Launcher::runService(const StringList& startParameters,
                             const NarrowStringList& extraJvmOptions, ServiceProgress& progress) {
    const int32_t status = launch(startParameters, extraJvmOptions, &progress);
    // The service has stopped only once the application's threads are done.
    session_.destroy();
    return status;
}

bool Launcher::callStop() {
    if (!session_.vm())
        return false; // nothing runs in Java that a stop method could end
    const Settings& s = *settings_;
    // Without parameters a method that takes nothing comes first, then one that takes an
    // empty array; with them, only the array form can take them.
    StaticCall call{nullptr, {}, &stopArguments_, nullptr, true};
    if (!s.stopParametersGiven)
        call.signatures.push_back("()V");
    call.signatures.push_back("([Ljava/lang/String;)V");
    const NarrowString name = narrow(s.stopMethod);
    call.name = name.c_str();
    const std::optional<StaticCallResult> result =
        session_.callStatic(s.stopClass, call, s.runtime.ibmMayRun());
    WideString className = s.stopClass;
    className.Replace(u'/', u'.');
    if (!result) {
        // A main class without stop() is the usual case, not a fault.
        if (s.stopCallConfigured || s.stopParametersGiven)
            ReportError(LoadMessage(MessageId::StopMethodMissing), className, s.stopMethod,
                        WideString(s.stopParametersGiven ? u"(String[])" : u""));
        return false;
    }
    if (result->threw)
        ReportError(LoadMessage(MessageId::StopMethodFailed), className, s.stopMethod,
                    result->exception);
    return true;
}

void Launcher::exitJava(int32_t status) {
    session_.exitJava(status);
}

int32_t Launcher::runJava(const StringList& startParameters,
                          const NarrowStringList& extraJvmOptions, ServiceProgress* progress) {
    const NarrowString libraryPathOption = prepareJvmEnvironment(
        runtime_->jvmLibraryPath, settings_->libraryPath, settings_->systemPath,
        context_->executableFolder, context_->elevated);
    const uint32_t loadStart = traceMilliseconds();
    if (!session_.load(runtime_->jvmLibraryPath, runtimeProgramFolder(runtime_->jvmLibraryPath)))
        return -1;
    trace(u"time: library load %u ms", traceMilliseconds() - loadStart);
    const JvmSettings jvmSettings = readJvmSettings(*context_);
    std::optional<JvmOptions> options =
        buildJvmOptions(jvmSettings, context_->executablePath, libraryPathOption);
    if (!options)
        return -1; // without a class path the JVM would load classes from the current folder
    options->streamFilesOpenedHere = context_->elevated;
    if (!settings_->splashScreen.isEmpty() && serviceMode_)
        trace(u"splash: none, a service has no desktop");
    else if (!settings_->splashScreen.isEmpty())
        showSplashScreen(runtime_->jvmLibraryPath, settings_->splashScreen, options->options);
    stopArguments_ = options->stopArguments;
    if (!extraJvmOptions.isEmpty()) {
        NarrowStringList all = extraJvmOptions;
        for (const NarrowString& option : options->options)
            all.add(option);
        options->options = all;
    }
    if (jvmSettings.classDataSharing)
        addClassDataSharing(*options);
    if (progress && !progress->mayCreateJvm())
        return 0; // a stop request came before the JVM: the start is cancelled

    MainCall call;
    call.mainClass = settings_->mainClass;
    for (const StringList& list :
         {options->leadingArguments, context_->arguments, startParameters, options->extraArguments})
        for (const WideString& argument : list)
            call.arguments.add(argument);
    // After the class data sharing digest of the options: the arguments change from start to
    // start, the classes an archive holds do not.
    if (std::optional<NarrowString> command =
            javaCommandOption(options->options, settings_->mainClass, call.arguments))
        options->options.add(*command);
    call.keepMainThreadAttached = settings_->runtime.ibmMayRun();
    call.beforeMain = [this, progress] {
        trace(u"main: called");
        instances_.signalReady();
        if (progress)
            progress->mainEntered();
    };
    // Nobody could answer a service's question: the JVM's own report stands.
    if (tracing()) {
        for (const NarrowString& option : options->options)
            trace(u"jvm option: %s", widen(option));
        for (const WideString& argument : call.arguments)
            trace(u"argument: %s", argument);
        trace(u"main thread stack: %u bytes (0: the runtime's default)", options->stackSize);
    }
    if (settings_->failureCheck && !serviceMode_)
        call.mainThrew = [](const WideString& trace) {
            closeSplashScreen();
            return presentException(trace);
        };
    switch (session_.runMain(*options, call)) {
    case JvmSession::MainOutcome::Returned:
        trace(u"main: returned");
        return 0;
    case JvmSession::MainOutcome::Threw:
        trace(u"main: ended with an exception");
        return 1; // as the JDK's own launcher ends, once the non-daemon threads are done
    case JvmSession::MainOutcome::NotCalled:
        break;
    }
    trace(u"main: not called");
    return -1;
}

void Launcher::addClassDataSharing(JvmOptions& options) {
    ClassDataSharingInputs inputs;
    // Any program of the user could have written the per-user cache.
    inputs.elevated = context_->elevated;
    inputs.cacheFolder =
        context_->elevated ? platform::protectedCacheRoot() : platform::perUserCacheFolder();
    inputs.applicationPath = context_->executablePath;
    inputs.jvmLibraryPath = runtime_->jvmLibraryPath;
    inputs.runtimeHome = runtime_->homeFolder;
    inputs.runtimeVersion = releaseVersionOf(runtime_->homeFolder);
    inputs.classPath = options.classPath;
    inputs.jvmOptions = options.options;
    // The JVM reads more options from these two variables.
    for (const char16_t* variable : {u"JAVA_TOOL_OPTIONS", u"_JAVA_OPTIONS"})
        if (std::optional<WideString> value = platform::wholeEnvironmentVariable(variable))
            inputs.environmentOptions.add(narrow(*value));
    NarrowStringList all = sharing_.prepare(inputs);
    if (all.isEmpty())
        return;
    for (const NarrowString& option : options.options)
        all.add(option);
    options.options = all;
    // The dump is complete once the JVM is gone, also when Java ends the process.
    setJvmEndAction(&sharing_);
}

void Launcher::serve(const StringList& arguments, platform::InstanceReply& reply) {
    // A void secondaryMain answers as soon as it is called; an int one with its result, or
    // with 1 when it throws, as an uncaught exception ends a run.
    const StaticCall call{"secondaryMain",
                          {"([Ljava/lang/String;)V", "([Ljava/lang/String;)I"},
                          &arguments,
                          [&reply](bool returnsInt) {
                              if (!returnsInt)
                                  reply.send(0);
                          }};
    const std::optional<StaticCallResult> result =
        session_.callStatic(settings_->mainClass, call, settings_->runtime.ibmMayRun());
    if (result && result->returnsInt)
        reply.send(result->threw ? 1 : result->value);
}

void Launcher::shutdown() {
    session_.destroy();
    instances_.shutdown();
}

} // namespace noviq
