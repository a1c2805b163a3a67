#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cert_store.h"

// The wire format of the fake TLS engine. Every record starts with a real 5-byte TLS header
// (content type, version 0x03 0x03, 2-byte big-endian length of what follows), so the channel's
// record framing works on it exactly as on real TLS.
//
//   application data (0x17): header, payload, trailer
//     payload: each plaintext byte XOR kFakeCipherMask, so that no plaintext shows on the wire
//     trailer: n bytes each of value n (n = 16 unless the engine is told to shrink it); a record
//              whose trailer is not of that form fails to decrypt
//   handshake (0x16):        header, body in clear (the engine only counts these records)
//   alert (0x15):            header, level byte, description byte
//
// Typical use in a test that scripts a whole exchange (see also fake_tls_peer.h):
//   fakes.sockets.QueueReceive(MakeFakeRecord("SRVACK;"));      // what the server sends
//   ... run the client ...
//   ClientMessages(fakes.sockets.SentBytes())                   // == {"REQ;...", "CLTACK;"}
namespace digital_id::fake {

inline constexpr std::uint8_t kFakeAlertType = 0x15;
inline constexpr std::uint8_t kFakeHandshakeType = 0x16;
inline constexpr std::uint8_t kFakeApplicationDataType = 0x17;
inline constexpr std::size_t kFakeHeaderSize = 5;
// The largest trailer, as the engine reports it in its stream sizes.
inline constexpr std::size_t kFakeTrailerSize = 16;
inline constexpr std::uint8_t kFakeCipherMask = 0x5A;

// One server message as the bytes of one application-data record, with the full trailer.
Bytes MakeFakeRecord(std::string_view message);
// The same for a message given as bytes (it may hold zero bytes and bytes above 0x7F).
Bytes MakeFakeRecord(const Bytes& message);
// A handshake record carrying body in clear (any text; the engine does not read it).
Bytes MakeFakeHandshakeRecord(std::string_view body);
// An alert record (level 2 is fatal; description 48 is "unknown CA", 0 "close notify").
Bytes MakeFakeAlertRecord(std::uint8_t level, std::uint8_t description);
// Concatenates byte strings, e.g. two records that arrive in one read.
Bytes Joined(const std::vector<Bytes>& parts);

// The trailer length of an application-data body (payload and trailer); 0 when malformed.
std::size_t FakeTrailerLength(const std::uint8_t* body, std::size_t size);

// One whole record read back from the wire.
struct FakeRecord {
  std::uint8_t type = 0;
  Bytes body;          // for application data: the decoded plaintext, else the bytes as sent
  bool intact = true;  // false for application data whose trailer is malformed
};

// The whole records at the start of wire, in order; an incomplete record at the end is ignored.
std::vector<FakeRecord> ParseFakeRecords(const Bytes& wire);
// The plaintext of every intact application-data record in wire, in order; handshake and alert
// records are skipped. Feed it FakeSockets::SentBytes() to see what the client sent.
std::vector<std::string> ClientMessages(const Bytes& wire);

}  // namespace digital_id::fake
