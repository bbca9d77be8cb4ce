// A process of user nobody that holds names in the run-name space of a
// service of the test's service control manager, as any local user can:
// the tool scm_name_holder, started and waited for until it holds its
// names, and ended with the object. It holds the name space itself (the
// single name an older agent held) and, for each claim, a name of the run
// name's own form that names the claimed process.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/scm/scm_process.h"
#include "platform/scm/scm_records.h"
#include "tests/support/agent_process.h"

namespace osktest {

class ForeignNameHolder {
  public:
    // For the named service of the manager that OSKAVELDE_SCM_DIR names;
    // with claim_self, one more name that claims the holder itself. False
    // when it does not come to hold its names.
    bool start(const std::string &service, const std::vector<platform::scm::ProcessMark> &claims = {},
               bool claim_self = false) {
        std::vector<std::string> args{platform::scm::service_base(service)};
        for (const platform::scm::ProcessMark &mark : claims) {
            args.push_back(std::to_string(mark.pid));
            args.push_back(std::to_string(mark.start_time));
        }
        if (claim_self)
            args.push_back("self");
        process_.set_program(OSK_BINARY_DIR "/tests/scm_name_holder");
        return process_.start(args) && process_.wait_for_output("holding", std::chrono::seconds(10));
    }

    int pid() const { return process_.pid(); }

  private:
    AgentProcess process_;
};

} // namespace osktest
