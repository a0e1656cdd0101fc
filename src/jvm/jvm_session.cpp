// The hosted JVM: library loading, the Java main thread, calls on attached threads and the
// exit and abort hooks.
#include "jvm/jvm_session.h"

#include <cstring>
#include <vector>

#include "common/messages.h"
#include "common/trace.h"
#include "jre/library_image.h"
#include "jvm/java_exception.h"
#include "jvm/jvm_host.h"
#include "jvm/jvm_output.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/threads.h"

namespace noviq {

namespace {

// The smallest stack on which the JVMs start far enough to report an -Xss value they refuse
// (measured: 64 KiB suffice on JDK 17 for Linux x64), with room to spare.
constexpr uint64_t kMinimumMainThreadStack = 256 * 1024;

std::atomic<JvmExitHooks*> exitHooks{nullptr};
std::atomic<JvmEndAction*> endAction{nullptr};

void runEndAction() {
    if (JvmEndAction* action = endAction.exchange(nullptr, std::memory_order_acq_rel))
        action->jvmEnded();
}

// The launcher's line for a JVM that could not be created: the JVM's own first reason when it
// printed one, else the reason JNI's result names.
void reportCreationFailure(const WideString& jvmReason, jint result) {
    WideString reason = jvmReason;
    if (!reason.isEmpty() && reason.last() == u'.')
        reason = reason.Left(reason.length() - 1); // the template adds its own period
    if (reason.isEmpty())
        reason = createFailureReason(result);
    ReportError(LoadMessage(MessageId::JniException), LoadMessage(MessageId::CreateJvmFailed),
                reason);
}

// Some failures (no room for the heap, an agent that cannot be loaded) end the process from
// inside the JVM's creation, through the abort hook and then exit(1): the launcher says why
// before it goes. (System.exit in an agent's premain also ends it there, through the exit
// hook, and is no failure.)
void reportCreationEndingProcess() {
    if (isJvmBeingCreated())
        reportCreationFailure(endJvmCreation(), JNI_ERR);
}

void JNICALL exitHook(jint code) {
    // Not a failure: System.exit during the creation comes from an agent's premain.
    trace(u"end: Java ends the process, exit code %d", static_cast<int32_t>(code));
    // First: a service manager may end the process as soon as it hears that it stopped.
    runEndAction();
    if (JvmExitHooks* hooks = exitHooks.load(std::memory_order_acquire))
        hooks->onExit(code);
}

void JNICALL abortHook() {
    reportCreationEndingProcess();
    if (JvmExitHooks* hooks = exitHooks.load(std::memory_order_acquire))
        hooks->onAbort();
}

void describePendingException(JNIEnv* env) {
    if (env->ExceptionOccurred())
        env->ExceptionDescribe();
}

// A class, found by its slash-separated name through the name's own Java string, so that
// any name converts to the modified UTF-8 FindClass takes. Reports what fails, unless
// `quietly` (the exception of a failed lookup is then left pending).
jclass findMainClass(JNIEnv* env, const WideString& mainClass, bool quietly = false) {
    jstring className = newJavaString(env, mainClass);
    if (!className) {
        if (!quietly)
            ReportError(LoadMessage(MessageId::MainClassLoadFailed), mainClass);
        return nullptr;
    }
    const char* modifiedUtf8 = env->GetStringUTFChars(className, nullptr);
    if (!modifiedUtf8) {
        if (!quietly)
            env->ExceptionDescribe();
        return nullptr;
    }
    jclass type = env->FindClass(modifiedUtf8);
    env->ReleaseStringUTFChars(className, modifiedUtf8);
    if (!type && !quietly) {
        env->ExceptionDescribe();
        ReportError(LoadMessage(MessageId::MainClassNotFound), mainClass);
    }
    return type;
}

} // namespace

void setJvmExitHooks(JvmExitHooks* hooks) {
    exitHooks.store(hooks, std::memory_order_release);
}

void setJvmEndAction(JvmEndAction* action) {
    endAction.store(action, std::memory_order_release);
}

void cutOffJvmEndAction() {
    if (JvmEndAction* action = endAction.exchange(nullptr, std::memory_order_acq_rel))
        action->jvmCutOff();
}

bool JvmSession::load(const WideString& jvmLibraryPath, const WideString& dependencyFolder) {
    // A FIFO would block the loader and a truncated library fault inside it: both are
    // refused as the loader refuses any file that is not a library.
    const platform::SystemResult<void*> library =
        isLoadableLibraryFile(jvmLibraryPath)
            ? platform::loadLibraryForever(jvmLibraryPath, dependencyFolder)
            : platform::SystemResult<void*>::failure(platform::kErrorBadImage);
    if (!library) {
        ReportError(LoadMessage(MessageId::JvmLibraryLoadFailed), jvmLibraryPath,
                    static_cast<int32_t>(library.error()));
        return false;
    }
    // Both invocation functions, or a report of the first one missing.
    void* functions[2] = {};
    const char* const names[2] = {"JNI_CreateJavaVM", "JNI_GetDefaultJavaVMInitArgs"};
    for (int i = 0; i < 2; ++i) {
        const platform::SystemResult<void*> symbol =
            platform::findLibrarySymbol(*library, names[i]);
        if (!symbol) {
            ReportSystemError(MessageId::WindowsException, MessageId::CreateJavaVmMissing,
                              symbol.error());
            return false;
        }
        functions[i] = *symbol;
    }
    createJavaVm_ = reinterpret_cast<CreateJavaVmFunction>(functions[0]);
    getDefaultInitArgs_ = reinterpret_cast<GetDefaultInitArgsFunction>(functions[1]);
    return true;
}

struct JvmSession::MainThread {
    JvmSession* session;
    const JvmOptions* options;
    const MainCall* call;
};

uint32_t JvmSession::mainThreadEntry(void* context) {
    const MainThread* start = static_cast<const MainThread*>(context);
    return static_cast<uint32_t>(start->session->mainThreadBody(*start->options, *start->call));
}

JvmSession::MainOutcome JvmSession::runMain(const JvmOptions& options, const MainCall& call) {
    uint64_t stackSize = options.stackSize;
    if (stackSize == 0) {
        // The JNI 1.1 form of the query is the one that reports the Java stack size.
        Jni11InitArgs defaults{};
        defaults.version = JNI_VERSION_1_1;
        getDefaultInitArgs_(&defaults);
        stackSize = defaults.javaStackSize > 0 ? static_cast<uint64_t>(defaults.javaStackSize) : 0;
    } else if (stackSize < kMinimumMainThreadStack) {
        // The JVM checks -Xss only once it runs, on this very thread: on a smaller stack it
        // overflows before it can refuse the value.
        stackSize = kMinimumMainThreadStack;
    }
    MainThread start{this, &options, &call};
    uint32_t exitCode = 0;
    if (platform::runOnNewThread(mainThreadEntry, &start, stackSize, exitCode))
        return static_cast<MainOutcome>(exitCode);
    return mainThreadBody(options, call);
}

JNIEnv* JvmSession::create(const JvmOptions& jvmOptions) {
    // The JVM takes its options in order: the hooks come first, so that they hear of a
    // failure in any option after them.
    std::vector<JavaVMOption> options;
    options.push_back({const_cast<char*>("vfprintf"), reinterpret_cast<void*>(&jvmPrintHook)});
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&abortHook)});
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)});
    for (const NarrowString& option : jvmOptions.options)
        options.push_back({const_cast<char*>(option.c_str()), nullptr});

    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    args.ignoreUnrecognized = JNI_FALSE; // an option the JVM does not know is an error

    JavaVM* vm = nullptr;
    void* env = nullptr;
    const uint32_t start = traceMilliseconds();
    beginJvmCreation();
    const jint result = createJavaVm_(&vm, &env, &args);
    const WideString jvmReason = endJvmCreation();
    trace(u"time: JVM creation %u ms, result %d", traceMilliseconds() - start,
          static_cast<int32_t>(result));
    if (result != JNI_OK) {
        reportCreationFailure(jvmReason, result);
        return nullptr;
    }
    vm_.store(vm, std::memory_order_release);
    JNIEnv* jni = static_cast<JNIEnv*>(env);

    // A stream that cannot be redirected stays the JVM's own; the run goes on.
    jobject output = nullptr;
    if (!jvmOptions.outputFile.isEmpty()) {
        output = openPrintStream(jni, jvmOptions.outputFile, jvmOptions.streamFilesOpenedHere);
        if (!output || !setSystemStream(jni, "setOut", output))
            describePendingException(jni);
    }
    if (!jvmOptions.errorFile.isEmpty()) {
        // Two streams opened on one file would both write from its start, each over the
        // other's lines: one file, one stream.
        const bool sameFile =
            output && (jvmOptions.errorFile == jvmOptions.outputFile ||
                       platform::isSameFile(jvmOptions.outputFile, jvmOptions.errorFile));
        jobject error =
            sameFile ? output
                     : openPrintStream(jni, jvmOptions.errorFile, jvmOptions.streamFilesOpenedHere);
        if (!error || !setSystemStream(jni, "setErr", error))
            describePendingException(jni);
    }
    return jni;
}

bool JvmSession::createOnly(const JvmOptions& options) {
    JNIEnv* env = create(options);
    if (env)
        vm()->DetachCurrentThread();
    return env != nullptr;
}

JvmSession::MainOutcome JvmSession::mainThreadBody(const JvmOptions& options,
                                                   const MainCall& call) {
    JNIEnv* env = create(options);
    if (!env)
        return MainOutcome::NotCalled;
    JavaVM* vm = this->vm();
    // A thread that ends while attached counts as a live non-daemon thread, and
    // DestroyJavaVM would wait for it for ever: every way out detaches.
    auto notCalled = [vm] {
        vm->DetachCurrentThread();
        return MainOutcome::NotCalled;
    };
    jclass mainType = findMainClass(env, call.mainClass);
    if (!mainType)
        return notCalled();
    jmethodID mainMethod = env->GetStaticMethodID(mainType, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        if (env->ExceptionOccurred())
            env->ExceptionDescribe();
        else
            ReportMessage(MessageId::MainMethodMissing);
        return notCalled();
    }
    jobjectArray javaArguments = newJavaStringArray(env, call.arguments);
    if (!javaArguments) {
        env->ExceptionDescribe();
        return notCalled();
    }

    if (call.beforeMain)
        call.beforeMain();
    env->CallStaticVoidMethod(mainType, mainMethod, javaArguments);

    // The exception stays pending after the check: the JVM reports it as uncaught when the
    // thread detaches, and the application's own handler sees it.
    jthrowable uncaught = env->ExceptionOccurred();
    if (uncaught && call.mainThrew && reportUncaughtException(env, uncaught, call.mainThrew)) {
        env->ExceptionClear(); // System.exit cannot be called with the exception pending
        callSystemExit(env, -1);
    }

    if (call.keepMainThreadAttached)
        platform::sleepForever();

    const bool threw = env->ExceptionCheck() == JNI_TRUE;
    if (vm->DetachCurrentThread() != JNI_OK)
        return MainOutcome::NotCalled;
    return threw ? MainOutcome::Threw : MainOutcome::Returned;
}

std::optional<StaticCallResult> JvmSession::callStatic(const WideString& className,
                                                       const StaticCall& call,
                                                       bool keepAttached) const {
    JavaVM* vm = this->vm();
    if (!vm)
        return std::nullopt;
    void* attached = nullptr;
    if (vm->AttachCurrentThread(&attached, nullptr) != JNI_OK)
        return std::nullopt;
    JNIEnv* env = static_cast<JNIEnv*>(attached);
    auto finish = [&](std::optional<StaticCallResult> result) {
        if (call.reportedByCaller)
            env->ExceptionClear();
        describePendingException(env);
        if (!keepAttached)
            vm->DetachCurrentThread();
        return result;
    };

    jclass type = findMainClass(env, className, call.reportedByCaller);
    if (!type)
        return finish(std::nullopt);
    jmethodID method = nullptr;
    const char* signature = nullptr;
    for (const char* candidate : call.signatures) {
        if (method)
            break;
        env->ExceptionClear(); // the last failed lookup stays pending, to be described
        method = env->GetStaticMethodID(type, call.name, candidate);
        signature = candidate;
    }
    if (!method)
        return finish(std::nullopt);
    jobjectArray arguments = nullptr;
    if (std::strncmp(signature, "([", 2) == 0 &&
        !(arguments = newJavaStringArray(env, call.arguments ? *call.arguments : StringList())))
        return finish(std::nullopt);

    StaticCallResult result;
    const size_t length = std::strlen(signature);
    result.returnsInt = length > 0 && signature[length - 1] == 'I';
    if (call.beforeCall)
        call.beforeCall(result.returnsInt);
    if (result.returnsInt)
        result.value = arguments ? env->CallStaticIntMethod(type, method, arguments)
                                 : env->CallStaticIntMethod(type, method);
    else if (arguments)
        env->CallStaticVoidMethod(type, method, arguments);
    else
        env->CallStaticVoidMethod(type, method);
    result.threw = env->ExceptionCheck() == JNI_TRUE;
    if (result.threw && call.reportedByCaller) {
        jthrowable thrown = env->ExceptionOccurred();
        env->ExceptionClear(); // the trace is captured with no exception pending
        const WideString trace = captureStackTrace(env, thrown);
        int32_t end = 0;
        while (end < trace.length() && trace[end] != u'\r' && trace[end] != u'\n')
            ++end;
        result.exception = trace.Left(end);
    }
    return finish(result);
}

void JvmSession::exitJava(int32_t status) const {
    JavaVM* vm = this->vm();
    void* attached = nullptr;
    if (!vm || vm->AttachCurrentThread(&attached, nullptr) != JNI_OK)
        return;
    callSystemExit(static_cast<JNIEnv*>(attached), status);
    vm->DetachCurrentThread();
}

void JvmSession::destroy() {
    // Other threads may still call into Java while the non-daemon threads finish.
    if (JavaVM* vm = this->vm()) {
        vm->DestroyJavaVM();
        vm_.store(nullptr, std::memory_order_release);
    }
    runEndAction();
}

} // namespace noviq
