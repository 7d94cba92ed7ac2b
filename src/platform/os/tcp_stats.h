// The system's TCP received-segment counter (InSegs of the Tcp: lines of /proc/net/snmp).
#pragma once

#include <cstdint>
#include <string>

// Reads the counter from /proc/net/snmp; false when the file or the field is missing.
bool ReadTcpInSegs(uint64_t& inSegs);
// Parses the text of an snmp file: the "Tcp:" header line names the fields, the next "Tcp:" line
// holds their values.
bool ParseTcpInSegs(const std::string& snmpText, uint64_t& inSegs);
