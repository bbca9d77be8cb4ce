// The handlers of the read requests: each composes its payload record
// behind the response header from one consistent copy of the addressed
// slot's device record (slot number in the request header's Dev).
#pragma once

#include <cstdint>

#include "shared/device_record.h"

// IdentifData, response length 115.
void GetIdentif(std::uint8_t *request, int length, std::uint8_t *response, int *response_length);
// StatusData, response length 97.
void GetStatus(std::uint8_t *request, int length, std::uint8_t *response, int *response_length);
// The record's 676-byte device data block, response length 692.
void GetDevData(std::uint8_t *request, int length, std::uint8_t *response, int *response_length);

// Sends one BrowseData datagram to the requester for every slot in use
// whose device type is not 24, in slot order, whatever the connection and
// the communication flag. The response length is 264 once a record went
// out and stays as it was when none did.
void GetBrowseData(std::uint8_t *request, int length, std::uint8_t *response, int *response_length,
                   int socket);

// Not called by the agent: copies the record's RemoteIdentity over its own
// identity fields; returns 0.
int CopyRemote(TDevice *record);

// Not called by the agent: bit n mod 8 of byte n div 8 (bit 0 the least
// significant); test_bit gives 0 for a null array.
int test_bit(const std::uint8_t *array, std::uint8_t bit);
void set_bit(std::uint8_t *array, std::uint8_t bit, std::uint8_t value);
