// The variable bindings of one request, replaced by those of the answer
// once the agent has answered.
#pragma once

#include <vector>

#include "snmp/vb.h"

class Pdu {
  public:
    Pdu() = default;

    Pdu &operator+=(const Vb &vb);
    // Copies binding index into vb; false, vb untouched, when there is none.
    bool get_vb(Vb &vb, int index) const;
    int get_vb_count() const { return static_cast<int>(vbs_.size()); }

  private:
    friend class Snmp;
    std::vector<Vb> vbs_;
};
