// Status evaluation: the status text and status flag byte that clients see,
// worked out from the flag bytes that a poll has just stored.
#pragma once

#include "shared/device_record.h"

// Status flag byte bits.
constexpr std::uint8_t status_overload = 0x01;
constexpr std::uint8_t status_low_battery = 0x02;
constexpr std::uint8_t status_on_battery = 0x04;
constexpr std::uint8_t status_on_bypass = 0x08;
constexpr std::uint8_t status_fault = 0x10;
constexpr std::uint8_t status_standby = 0x20;
constexpr std::uint8_t status_temperature = 0x40;

// Sets StatusText and StatusFlags of the poll's working record and
// refreshes the head of its device data block (status, communication and
// auxiliary texts, codes, response time) and the BitWord copies.
void prepocet_Braxo_stat(TDevice &record);
