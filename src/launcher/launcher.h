// The orchestrator: runs a start from the process context to the JVM's end, handing each
// step the values the previous ones produced. The only code that knows every part.
#pragma once

#include <cstdint>
#include <optional>

#include "jre/runtime_search.h"
#include "jvm/class_data_sharing.h"
#include "jvm/jvm_session.h"
#include "launcher/process_context.h"
#include "launcher/restart.h"
#include "launcher/settings.h"
#include "launcher/single_instance.h"
#include "service/service_module.h"

namespace noviq {

class Launcher final : private ServiceApplication, private InstanceRequestHandler {
public:
    // In this order: initialize(), then run() or runAsService(), then shutdown(), then
    // endingWith().
    bool initialize();
    int32_t run();
    // `started`: what initialize() returned; a service reports a failed start too.
    int32_t runAsService(bool started);
    void shutdown();
    // The exit code to end with: the restart's when the application asked for one.
    int32_t endingWith(int32_t code) { return restart_.endingWith(code); }

    bool isService() const { return serviceMode_; }

private:
    bool chooseRuntime();
    // The one start sequence of both modes: the paired program, the hand-over to a first
    // instance, or the JVM; `progress` is the service's, null in the foreground.
    int32_t launch(const StringList& startParameters, const NarrowStringList& extraJvmOptions,
                   ServiceProgress* progress);
    int32_t runPairedProgram(ServiceProgress* progress);
    int32_t runJava(const StringList& startParameters, const NarrowStringList& extraJvmOptions,
                    ServiceProgress* progress);
    // The class data sharing options for this start, put first.
    void addClassDataSharing(JvmOptions& options);

    // As a service.
    int32_t runService(const StringList& startParameters, const NarrowStringList& extraJvmOptions,
                       ServiceProgress& progress) override;
    bool callStop() override;
    void exitJava(int32_t status) override;
    // A later start's request: the main class's secondaryMain with its arguments.
    void serve(const StringList& arguments, platform::InstanceReply& reply) override;

    std::optional<ProcessContext> context_;
    bool serviceMode_ = false;
    std::optional<Settings> settings_;
    std::optional<RuntimeChoice> runtime_;
    SingleInstance instances_;
    JvmSession session_;
    ClassDataSharing sharing_;
    StringList stopArguments_; // "Stop Parameters", set before the JVM is created
    ServiceModule service_;
    SelfRestart restart_;
};

} // namespace noviq
