// The orchestrator: runs a start from the process context to the JVM's end, handing each
// step the values the previous ones produced. The only code that knows every part.
#pragma once

#include <cstdint>
#include <optional>

#include "jre/runtime_search.h"
#include "jvm/jvm_session.h"
#include "launcher/process_context.h"
#include "launcher/settings.h"
#include "launcher/single_instance.h"
#include "service/service_module.h"

namespace noviq {

class Launcher final : public ServiceApplication, public InstanceRequestHandler {
public:
    // In this order: initialize(), run() (or the service), shutdown().
    bool initialize();
    int32_t run() { return run(StringList()); }
    int32_t run(const StringList& startParameters) override;
    void stop() override;
    void shutdown();

    // A later start's request: the main class's secondaryMain with its arguments.
    void serve(const StringList& arguments, platform::InstanceReply& reply) override;

    bool isService() const { return settings_ && settings_->isService; }
    bool omitServiceName() const { return settings_ && settings_->omitServiceName; }

private:
    bool chooseRuntime();
    int32_t runJava(const StringList& startParameters);

    std::optional<ProcessContext> context_;
    std::optional<Settings> settings_;
    std::optional<RuntimeChoice> runtime_;
    SingleInstance instances_;
    JvmSession session_;
};

} // namespace noviq
