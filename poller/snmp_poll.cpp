// One complete SNMP version 1 poll of one UPS: the 43 UPS-MIB objects read
// one GET at a time, the alarm table walked with GET-NEXT, every answer
// stored into the slot's record, the status worked out, the slot's
// communication flag set and its pending command carried out. The poll
// works on a copy of the record and publishes it after every row, so that
// a client never sees a row half stored.
#include "poller/snmp_poll.h"

#include <cstdio>
#include <cstring>

#include "poller/alarm_walk_oid.h"
#include "poller/status_eval.h"
#include "poller/ups_command.h"
#include "poller/ups_mib.h"
#include "shared/debug_log.h"
#include "shared/decimal_text.h"
#include "shared/device_table.h"
#include "shared/ini_record.h"
#include "shared/log_text.h"
#include "snmp/snmp_pp.h"

// Start and end of the SNMP library's socket use. The timer thread calls
// Snmp::socket_startup and Snmp::socket_cleanup itself; these two are kept
// for a caller that wants them by these names.
int snmp_open() {
    Snmp::socket_startup();
    return 0;
}

void snmp_close() { Snmp::socket_cleanup(); }

namespace {

// The alarm table (upsAlarmTable) by its arcs: the walk decodes no answer
// from outside it.
constexpr unsigned long alarm_table_arcs[] = {1, 3, 6, 1, 2, 1, 33, 1, 6, 2};
constexpr unsigned long alarm_table_len = sizeof alarm_table_arcs / sizeof alarm_table_arcs[0];

// The address text of a slot and a community of [UPS_nn].
constexpr std::size_t address_text_size = 20;
constexpr std::size_t community_size = sizeof(TIniUps::SNMPGetComm);

// What one call works with; nothing of it outlives the call.
struct PollCall {
    Snmp &snmp;
    const CTarget &target;
    TDevice &record;
    const char *address;
    TPollState state;
    std::uint8_t commlost;
    std::uint8_t result;
    // Whether any GET of the row loop brought a value.
    bool valued;
};

enum class Request { get, get_next };

bool timed_out(int status) {
    return status == SNMP_CLASS_TIMEOUT || status == SNMP_CLASS_TL_FAILED;
}

bool exception_syntax(SmiUINT32 syntax) {
    return syntax == sNMP_SYNTAX_NOSUCHOBJECT || syntax == sNMP_SYNTAX_NOSUCHINSTANCE ||
           syntax == sNMP_SYNTAX_ENDOFMIBVIEW;
}

// An answer without error can still hold no value: NULL, or one of the
// exceptions, which have no place in an SNMPv1 answer.
bool holds_value(const Vb &answer) {
    const SmiUINT32 syntax = answer.get_syntax();
    return syntax != sNMP_SYNTAX_NULL && !exception_syntax(syntax);
}

// A bounded copy of a text into a buffer of size bytes, always terminated.
void copy_text(char *to, std::size_t size, const char *from) {
    std::strncpy(to, from, size - 1);
    to[size - 1] = '\0';
}

// One request of one binding for the OID text; answer receives the
// answer's binding when the status is 0.
int send_request(PollCall &p, Request kind, const char *oid_text, Vb &answer) {
    Pdu pdu;
    pdu += Vb(Oid(oid_text, true));
    const int status =
        kind == Request::get ? p.snmp.get(pdu, p.target) : p.snmp.get_next(pdu, p.target);
    if (status == SNMP_CLASS_SUCCESS)
        pdu.get_vb(answer, 0);
    return status;
}

bool take_answer_position(char (&current)[alarm_oid_text_size], const Vb &answer) {
    Oid name;
    answer.get_oid(name);
    return alarm_walk_position(current, name.get_printable());
}

// Whether the answer of a GET-NEXT continues the walk: its OID lies inside
// the alarm table. (The SNMP layer takes no GET-NEXT answer that does not
// lie after the OID asked for.)
bool walk_answer_in_table(const Vb &answer) {
    Oid name;
    answer.get_oid(name);
    if (name.len() <= alarm_table_len)
        return false;
    for (unsigned long i = 0; i < alarm_table_len; ++i)
        if (name[i] != alarm_table_arcs[i])
            return false;
    return true;
}

// Values, and OIDs composed from them, are the UPS's text: the log shows
// their control bytes escaped. No more of them is escaped than a line can
// show.
void trace_answer(const Vb &answer) {
    if (k_monitor != 10)
        return;
    Oid name;
    answer.get_oid(name);
    char value[poll_line_size];
    poll_printf("\nOid = %s Value = %s", name.get_printable(),
                log_visible_text(value, sizeof value, answer.get_printable_value()));
}

void store(PollCall &p, std::uint8_t row, const char *value) {
    analyze_datasnmp(p.record, p.state, row, value, p.commlost);
}

// Stores the answer under the row when it holds a value; false when it does
// not. One without a value (NULL, or an exception) says nothing of the
// object, and its empty text would be stored as 0: a UPS on battery whose
// upsOutputSource alone came back so would be shown in standby. Such an
// answer is taken as an error answer, so the row keeps what it held.
bool store_answer(PollCall &p, std::uint8_t row, const Vb &answer) {
    if (!holds_value(answer))
        return false;
    store(p, row, answer.get_printable_value());
    return true;
}

void check_exception(PollCall &p, const Vb &answer) {
    if (!exception_syntax(answer.get_syntax()))
        return;
    poll_printf("Exception: %u occured", static_cast<unsigned>(answer.get_syntax()));
    p.result = 1;
}

void walk_error(PollCall &p, unsigned step, const char *oid_text, int status) {
    char oid[poll_line_size];
    poll_printf("\n%s AlarmPresent=%u Oid = %s SNMP++ Get Error, %s (%u)", p.address, step,
                log_visible_text(oid, sizeof oid, oid_text), Snmp::error_msg(status),
                static_cast<unsigned>(status));
    p.result = 1;
}

// The alarm table, walked with GET-NEXT from upsAlarmsPresent.0 for as many
// steps as the UPS reports alarms (the count's low 8 bits), each answer
// decoded as an alarm descriptor.
//
// The walk ends early, where a walk that always took its steps would go
// on: at the first answer from outside the alarm table, and at the first
// step that times out. When the alarms clear between the count and the
// walk, the agent answers with what follows the table (upsTestId.0 holds
// an OID that would read as alarm 1, battery bad), and every further step
// would decode more of what is no alarm; and an agent that has stopped
// answering would make each of up to 254 further steps wait out its
// time-out too, minutes in which the poller, and a stop waiting for it,
// would hang.
void alarm_walk(PollCall &p, const char *count_text) {
    const unsigned count = decimal_text_value(count_text) & 0xFF;
    resetAlarm(p.record, p.commlost);
    if (count == 0)
        return;

    // Without a place to go on from, the further steps could only ask the
    // same row again: the walk ends where a step has none.
    char current[alarm_oid_text_size];
    Vb first;
    int status = send_request(p, Request::get_next, OidRequest[row_alarms_present], first);
    if (status != SNMP_CLASS_SUCCESS) {
        walk_error(p, 0, OidRequest[row_alarms_present], status);
        return;
    }
    trace_answer(first);
    if (!walk_answer_in_table(first))
        return;
    Oid first_name;
    first.get_oid(first_name);
    if (alarm_descr_answer(first_name.get_printable())) {
        store_answer(p, row_alarms_present, first);
        if (!take_answer_position(current, first))
            return;
    } else {
        // An agent that answers with another column of the table (such as
        // upsAlarmId) gives the row's index: its description is read there.
        // A composed OID too long for the buffer is not cut into another
        // row's; it names no row at all, and the walk has no place to go on
        // from. One that is no OID (an index that is no number) is asked
        // for all the same: each further step then fails and says so.
        char descr_oid[alarm_oid_text_size];
        const bool whole = alarm_descr_oid(descr_oid, first.get_printable_value());
        Vb descr;
        if (whole && send_request(p, Request::get, descr_oid, descr) == SNMP_CLASS_SUCCESS) {
            trace_answer(descr);
            store_answer(p, row_alarms_present, descr);
        } else {
            store(p, row_alarms_present, "");
        }
        if (!whole || !alarm_walk_position(current, descr_oid))
            return;
    }

    for (unsigned step = 1; step < count; ++step) {
        Vb answer;
        status = send_request(p, Request::get_next, current, answer);
        if (status != SNMP_CLASS_SUCCESS) {
            walk_error(p, step, current, status);
            if (timed_out(status))
                return;
            continue;
        }
        trace_answer(answer);
        if (!walk_answer_in_table(answer))
            return;
        if (!store_answer(p, row_alarms_present, answer))
            p.result = 1;
        check_exception(p, answer);
        if (!take_answer_position(current, answer))
            return;
    }
}

// Reads the row's object and stores it; false when the row timed out and
// the row loop has to end.
bool poll_row(PollCall &p, std::uint8_t row) {
    Vb answer;
    const int status = send_request(p, Request::get, OidRequest[row], answer);
    // These models leave objects out of their agent: what they lack reads
    // as empty, and an error answer is no error.
    const bool ptolve = std::strncmp(p.record.UpsModel, "P.TOLVE", 7) == 0;
    if (status == SNMP_CLASS_SUCCESS) {
        trace_answer(answer);
        if (holds_value(answer)) {
            p.valued = true;
            if (row == row_alarms_present)
                alarm_walk(p, answer.get_printable_value());
            else
                store(p, row, answer.get_printable_value());
        } else if (ptolve) {
            store(p, row, "");
        } else {
            // An error answer for the row (see store_answer): nothing is
            // stored, and upsAlarmsPresent walks and clears no alarm.
            p.result = 1;
        }
        check_exception(p, answer);
        return true;
    }
    // A time-out is not passed over for these models either: a UPS that no
    // longer answers would stay communicating, its rows drifting to empty
    // values, and each row would wait out its time-out, holding up the
    // other UPSes and a stop for a minute and more.
    if (ptolve && !timed_out(status)) {
        store(p, row, "");
        return true;
    }
    poll_printf("\n%s OidRequest = %u Oid = %s SNMP++ Get Error, %s (%u)", p.address,
                static_cast<unsigned>(row), OidRequest[row], Snmp::error_msg(status),
                static_cast<unsigned>(status));
    if (timed_out(status)) {
        printfc("\nTimeout recognized");
        p.result = 2;
        return false;
    }
    p.result = 1;
    return true;
}

// The values every poll that got its session starts with.
void write_presets(TDevice &record) {
    record.FixedDigit = '3';
    record.DigitValue =
        static_cast<std::uint16_t>(static_cast<unsigned char>(record.DigitChar) - 48);
    record.BatteryNominal = 240;
    record.ZeroWord = 0;
    record.ZeroByte = 0;
    record.ModeFlags &= static_cast<std::uint8_t>(~mode_poll_cleared);
    record.MinutesRemaining = 0xFFFF;
}

} // namespace

std::uint8_t snmp_rq_send(std::uint8_t, const char *address_text, std::uint16_t slot) {
    if (slot >= device_slots || SM_DEV[slot] == nullptr)
        return 2;

    char address[address_text_size + 1] = {};
    if (address_text != nullptr)
        copy_text(address, sizeof address, address_text);
    UdpAddress agent(address);
    if (!agent.valid()) {
        poll_printf("\nInvalid Address or DNS Name, %s", address);
        return 2;
    }

    // The fields are 32 characters, with no terminator when full.
    char read_text[community_size + 1];
    char write_text[community_size + 1];
    copy_text(read_text, sizeof read_text, INI.UPS[slot].SNMPGetComm);
    copy_text(write_text, sizeof write_text, INI.UPS[slot].SNMPSetComm);
    const OctetStr read_community(read_text);
    const OctetStr write_community(write_text);

    int status = SNMP_CLASS_SUCCESS;
    Snmp snmp(status, 0, agent.get_ip_version() == IpAddress::version_ipv6);
    if (status != SNMP_CLASS_SUCCESS) {
        poll_printf("\nSNMP++ Session Create Fail, %s", Snmp::error_msg(status));
        return 2;
    }

    // The timer thread is the records' only writer: its own record can be
    // read directly, and only the copy is written until it is published.
    TDevice record;
    std::memcpy(&record, SM_DEV[slot], sizeof record);
    write_presets(record);

    agent.set_port(161);
    CTarget target(agent);
    ups_target_settings(target, read_community, write_community);
    if (k_monitor == 10) {
        poll_printf("\nSNMP++ Get to %s SNMPV %i Retries=%u Timeout=%u", address, 1, 1u, 1000u);
        poll_printf(" GetCommunity=%s SetCommunity=%s", read_community.get_printable(),
                    write_community.get_printable());
    }

    // Model class, software match and phase flag count for this poll only:
    // a row that fails never takes another poll's (or device's) value.
    PollCall p{snmp, target, record, address, TPollState{}, 0, 0, false};
    bool timeout = false;
    for (int row = row_ident_manufacturer; row < oid_request_rows && !timeout; ++row) {
        timeout = !poll_row(p, static_cast<std::uint8_t>(row));
        device_publish(slot, record);
    }
    // A poll in which no GET brought a value is a lost one, as if the UPS
    // had not answered at all, where only a time-out or alarm 20 would end
    // communication otherwise: every row answered with an error, or
    // without error but with NULL or an exception in place of the value
    // (an agent that does not know the UPS-MIB, or whose UPS has gone)
    // tells nothing about the UPS. Its rows keep what they held (those of a
    // "P.TOLVE" model are read as empty), but the old status must not be
    // served as fresh, nor a record of empty values as a UPS in standby.
    if (!p.valued)
        p.result = 2;
    else if (!timeout)
        prepocet_Braxo_stat(record);
    const bool lost = timeout || !p.valued || p.commlost != 0;
    printfc(lost ? "\nComm lost recognized" : "\nComm established recognized");
    // A lost UPS is browsed with the loss in place of a status it may no
    // longer have. The poll that establishes communication again evaluates
    // the status anew and publishes it together with the flag that opens
    // the UPS to status requests, so no status answer carries the loss.
    if (lost)
        show_comm_lost(record);
    device_publish_ready(slot, record, lost ? 0 : 1);

    ups_command_send(snmp, agent, read_community, write_community, address, p.result, slot);
    return p.result;
}
