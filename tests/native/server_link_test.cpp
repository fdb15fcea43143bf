#include "cv3client/session/server_link.h"

#include <gtest/gtest.h>

#include <vector>

namespace cv3 {
namespace {

struct FakeTransport : Transport {
  bool connected = true;
  std::string sent;
  bool IsConnected() const override { return connected; }
  void SendData(std::string_view bytes) override { sent.append(bytes); }
};

struct Recorder {
  std::vector<std::string> events;
  LinkHooks Hooks() {
    return {[this] { events.push_back("not connected"); },
            [this](int ms) { events.push_back("wait " + std::to_string(ms)); }};
  }
};

TEST(SendCommand, SendsOneLineWithCrLfThenWaitsTenMs) {
  FakeTransport transport;
  Recorder recorder;
  ServerLink link(transport, recorder.Hooks());
  EXPECT_TRUE(link.SendCommand("USERS"));
  EXPECT_TRUE(link.SendCommand("LMSG:caf\xC3\xA9 \xC2\xB6"));  // café ¶
  EXPECT_EQ(transport.sent, "USERS\r\nLMSG:caf\xE9 \xB6\r\n");
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"wait 10", "wait 10"}));
}

TEST(Receiving, LinesAreDecodedAndDispatchedInOrder) {
  FakeTransport transport;
  Recorder recorder;
  ServerLink link(transport, recorder.Hooks());
  std::vector<std::string> seen;
  for (auto name : {"ERROR", "AUTH_ACK", "LMSG"}) {
    link.Handlers().On(name, [&, name](const std::string& args) {
      seen.push_back(std::string(name) + "|" + args);
    });
  }
  link.DataArrival("ERROR:Server: full\r\nAUTH_ACK\r\nNOPE:x\r\nLMSG:bob:caf\xE9 \xB6");
  link.DataArrival("\r\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"ERROR|Server: full", "AUTH_ACK|",
                                            "LMSG|bob:caf\xC3\xA9 \xC2\xB6"}));
}

TEST(Receiving, DataArrivingInsideAHandlerWaitsForIt) {
  FakeTransport transport;
  Recorder recorder;
  ServerLink link(transport, recorder.Hooks());
  std::vector<std::string> seen;
  link.Handlers().On("A", [&](const std::string&) {
    seen.push_back("A begin");
    link.DataArrival("B\r\n");  // as if the handler pumped events while showing a box
    seen.push_back("A end");
  });
  link.Handlers().On("B", [&](const std::string&) { seen.push_back("B"); });
  link.Handlers().On("C", [&](const std::string&) { seen.push_back("C"); });
  link.DataArrival("A\r\nC\r\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"A begin", "A end", "C", "B"}));
}

TEST(Receiving, BufferSurvivesAndOverlongLineIsDropped) {
  FakeTransport transport;
  Recorder recorder;
  ServerLink link(transport, recorder.Hooks());
  std::vector<std::string> seen;
  link.Handlers().On("ISON", [&](const std::string& args) { seen.push_back(args); });
  // Kept, the over-long line would reach the handler as one more "ISON".
  link.DataArrival("ISON:" + std::string(LineBuffer::kDefaultLimit + 10, 'z'));
  link.DataArrival("zzz\r\nISON:bob\r\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"bob"}));
}

}  // namespace
}  // namespace cv3
