// The OIDs of the alarm walk that are made from the UPS's answers: the
// description column the walk expects its answers under, the OID of an
// alarm row composed from an index the UPS gave, and the walk's current
// OID taken from an answer. Each is bounded: no text from the UPS is cut
// into an OID of another row.
#pragma once

#include <cstddef>

#include "snmp/oid.h"

// The description column of the alarm table (upsAlarmDescr): the prefix
// the walk expects its answers under, and the base of the row it reads
// when an agent answers with another column.
extern const char OidDescrAlarm[1][32];

// Room for every OID the SNMP layer carries, in dotted form.
constexpr std::size_t alarm_oid_text_size = Oid::k_max_printable;

// Whether the dotted OID text of an answer begins with the 24 characters
// of OidDescrAlarm (a plain comparison of that many characters).
bool alarm_descr_answer(const char *oid_text);

// Composes "<OidDescrAlarm>.<index>" into oid. False, with oid left as
// some text that names no row, when the whole of it does not fit: a cut
// index would name another row. An index that is no number is composed
// all the same; the SNMP layer then refuses the OID.
bool alarm_descr_oid(char (&oid)[alarm_oid_text_size], const char *index_text);

// Makes the dotted text the walk's current OID. False, with the current
// OID unchanged, for a text too long to hold whole: a cut OID would lie
// before the answer it came from, so that every further GET-NEXT would
// bring back the same row.
bool alarm_walk_position(char (&current)[alarm_oid_text_size], const char *oid_text);
