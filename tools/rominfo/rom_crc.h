// The checksum of a ROM information block: the POSIX cksum CRC, so that a
// block can be checked on a build host with the stock cksum utility.
#pragma once

#include <cstdint>
#include <span>

// CRC-32 (polynomial 0x04C11DB7, MSB first, initial 0) of the bytes followed
// by their length (least significant byte first, only the bytes it needs),
// one's complement. Equals what `cksum` prints for a file of those bytes.
std::uint32_t rom_crc(std::span<const std::uint8_t> data);
