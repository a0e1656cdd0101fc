// One JVM hosted in this process: the library's invocation functions, resolved once; the
// Java main thread with its stack size, hooks and call of main; calls of the main class's
// static methods from other threads; and the JVM's end.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <jni.h>
#include <optional>
#include <vector>

#include "base/basic_string.h"
#include "base/string_list.h"
#include "jvm/jvm_options.h"

namespace noviq {

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);
using GetDefaultInitArgsFunction = jint(JNICALL*)(void*);

// Receiver of the JVM's exit and abort hooks (the service in service mode).
class JvmExitHooks {
public:
    virtual void onExit(int32_t code) = 0;
    virtual void onAbort() = 0;

protected:
    ~JvmExitHooks() = default;
};

// The hooks carry no context: their one receiver is set here (null for none), from any
// thread.
void setJvmExitHooks(JvmExitHooks* hooks);

// Work that needs the JVM to have finished what it does at its end (files it writes as it
// ends are then complete). It runs once: when Java ends the process, from the exit hook
// before the hooks' receiver hears of it; otherwise in JvmSession::destroy(), also when no
// JVM was created. When the process is ended before the JVM could finish, jvmCutOff() runs
// instead (from endJvmEndActionCutOff()).
class JvmEndAction {
public:
    virtual void jvmEnded() = 0;
    virtual void jvmCutOff() = 0;

protected:
    ~JvmEndAction() = default;
};

// Sets the one end action (null for none), from any thread.
void setJvmEndAction(JvmEndAction* action);

// The process is about to be ended while the JVM may still be ending: the end action, unless
// it ran already, is told that what the JVM writes as it ends is incomplete.
void cutOffJvmEndAction();

// How main is called, and what happens around the call.
struct MainCall {
    WideString mainClass; // slash-separated
    StringList arguments;
    // Where an IBM runtime may run the application, its main thread stays attached and never
    // returns: the process ends only when Java ends it or from outside.
    bool keepMainThreadAttached = false;
    std::function<void()> beforeMain; // just before main is called; may be empty
    // When main ended with an exception: gets its trace, returns true to stop the
    // application. Empty: no check.
    std::function<bool(const WideString& trace)> mainThrew;
};

// A static method called on an attached thread of its own.
struct StaticCall {
    const char* name;
    // Tried in order, the first the class has is called: "()V", "([Ljava/lang/String;)V" or
    // "([Ljava/lang/String;)I".
    std::vector<const char*> signatures;
    // The String[] argument, when the signature has one (null: an empty array).
    const StringList* arguments = nullptr;
    std::function<void(bool returnsInt)> beforeCall; // once the method is found; may be empty
    // The caller reports a missing class or method, and what the method threw
    // (StaticCallResult::exception): the JVM describes neither.
    bool reportedByCaller = false;
};

struct StaticCallResult {
    int32_t value = 0; // 0 for void
    bool returnsInt = false;
    bool threw = false;
    WideString exception; // reportedByCaller: the first line of what it threw
};

class JvmSession {
public:
    JvmSession() = default;
    JvmSession(const JvmSession&) = delete;
    JvmSession& operator=(const JvmSession&) = delete;

    // Loads the JVM library for good, its dependencies found in its own folder, the
    // runtime's `dependencyFolder` and the system's folders (never the current folder), and
    // resolves its two invocation functions; reports a failure and returns false.
    bool load(const WideString& jvmLibraryPath, const WideString& dependencyFolder);

    enum class MainOutcome : uint32_t { Returned, Threw, NotCalled };

    // Creates the JVM and calls main on a new thread (stack: the -Xss value, else the
    // runtime's default, never less than the JVM needs to start), and waits for that thread.
    MainOutcome runMain(const JvmOptions& options, const MainCall& call);

    // Creates the JVM on the calling thread and calls nothing: for a JVM whose work is its
    // creation. False when it cannot be created (reported).
    bool createOnly(const JvmOptions& options);

    // Calls a static method of the class (slash-separated; found as the system class loader
    // finds it) on the calling thread, attached for the call (and detached after it unless
    // `keepAttached`). Nothing when no JVM runs or the method cannot be called. An exception
    // it throws, or the failed lookup, is described unless the caller reports it.
    std::optional<StaticCallResult> callStatic(const WideString& className, const StaticCall& call,
                                               bool keepAttached) const;

    // Calls System.exit(status) on the calling thread, attached for it; a JVM that honours it
    // ends the process. Nothing when no JVM runs.
    void exitJava(int32_t status) const;

    // Waits until every non-daemon Java thread has ended, then ends the JVM and runs the end
    // action.
    void destroy();

    // The running JVM, or null; read from any thread.
    JavaVM* vm() const { return vm_.load(std::memory_order_acquire); }

private:
    struct MainThread;
    static uint32_t mainThreadEntry(void* context);
    MainOutcome mainThreadBody(const JvmOptions& options, const MainCall& call);
    JNIEnv* create(const JvmOptions& options);

    CreateJavaVmFunction createJavaVm_ = nullptr;
    GetDefaultInitArgsFunction getDefaultInitArgs_ = nullptr;
    std::atomic<JavaVM*> vm_{nullptr};
};

} // namespace noviq
