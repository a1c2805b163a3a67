#include <sys/socket.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/openssl_tls_engine.h"
#include "platform/linux/tls_record_framing.h"
#include "tls_test_connection.h"
#include "tls_test_loopback_peer.h"

namespace digital_id {
namespace {

TEST(TlsRecordFraming, HeadersTellWholeIncompleteAndMalformedRecords) {
  const Bytes twoAndAHalf{22, 3, 3, 0, 2, 0xAA, 0xBB, 23, 3, 3, 0, 1, 0xCC, 21, 3, 3, 0};
  EXPECT_EQ(FirstRecord(twoAndAHalf).scan, RecordScan::Whole);
  EXPECT_EQ(FirstRecord(twoAndAHalf).length, 7u);
  const LeadingRecords leading = WholeRecordsAtStart(twoAndAHalf);
  EXPECT_EQ(leading.count, 2u);
  EXPECT_EQ(leading.length, 13u);
  EXPECT_FALSE(leading.malformedTail);

  EXPECT_EQ(FirstRecord(Bytes{22, 3, 3, 0, 2, 0xAA}).scan, RecordScan::Incomplete);
  EXPECT_EQ(FirstRecord(Bytes{22}).scan, RecordScan::Incomplete);
  EXPECT_EQ(FirstRecord(Bytes{'H', 'T', 'T', 'P'}).scan, RecordScan::Malformed);
  EXPECT_EQ(FirstRecord(Bytes{22, 2}).scan, RecordScan::Malformed);
  // A body longer than any record may be is refused at once rather than waited for.
  EXPECT_EQ(FirstRecord(Bytes{23, 3, 3, 0x48, 0x01}).scan, RecordScan::Malformed);
  EXPECT_TRUE(WholeRecordsAtStart(Bytes{23, 3, 3, 0, 0, 'x'}).malformedTail);
}

TEST(TlsRecordFraming, PeerThatAnswersWithoutTlsIsAnIllegalMessage) {
  tls_test::LoopbackPeer listener(true);
  ASSERT_NE(listener.Port(), 0);

  OpenSslTlsEngine engine([] { return std::vector<Bytes>{}; });
  {
    tls_test::TlsTestConnection connection(*engine.InitSecurityInterface(), listener.Port());
    ASSERT_TRUE(connection.IsConnected());
    const tls_test::Descriptor peer(listener.Accept());
    ASSERT_GE(peer.Get(), 0);
    const std::string reply = "HTTP/1.0 400 Bad Request\r\n\r\n";
    ASSERT_EQ(::send(peer.Get(), reply.data(), reply.size(), 0),
              static_cast<ssize_t>(reply.size()));
    EXPECT_EQ(connection.Handshake(u"localhost").status, kSecEIllegalMessage);
  }
}

}  // namespace
}  // namespace digital_id
