// Adding and reading the bindings of a request.
#include "snmp/pdu.h"

Pdu &Pdu::operator+=(const Vb &vb) {
    vbs_.push_back(vb);
    return *this;
}

bool Pdu::get_vb(Vb &vb, int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= vbs_.size())
        return false;
    vb = vbs_[static_cast<std::size_t>(index)];
    return true;
}
